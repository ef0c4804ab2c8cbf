// SPDX-License-Identifier: MIT
#include "store/storeerror.h"

#include "common/messages.h"

#include <cerrno>
#include <cstring>

QString StoreError::reasonText() const
{
    switch (m_reason) {
    case NotRegularFile:
        return QString::fromLatin1(msg::NotRegularFile);
    case LockedOut:
        return QString::fromLatin1(msg::LockedByOther);
    case TooLarge:
        return QString::fromLocal8Bit(std::strerror(EFBIG));
    default:
        return QString::fromLocal8Bit(std::strerror(m_reason));
    }
}
