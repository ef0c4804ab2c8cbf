// SPDX-License-Identifier: MIT
#pragma once

#include "engine/snmp/notification.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

// The notifications the Traps window lists, the newest last. A notification
// is kept as the few texts its columns need and its bindings packed into one
// string (some 300 bytes for a linkDown); the name and the summary are made
// when first shown and made again when the MIB set or MIB Values change. At most `bound` are
// kept: beyond it the oldest go, counted.
//
// What comes is stored at once, but the view hears of it at most every
// AnnounceMs, as the result list paces its rows. Paused, the list holds still:
// what comes waits, counted in arrivedWhilePaused(), until the pause ends
// (up to the bound of its own: the newest are kept for when it ends).
class TrapListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TimeColumn, SourceColumn, VersionColumn, IdentityColumn, NameColumn, SummaryColumn, ColumnCount };
    static constexpr int AnnounceMs = 30;
    static constexpr size_t DefaultBound = 100000;

    explicit TrapListModel(size_t bound = DefaultBound, QObject *parent = nullptr);
    ~TrapListModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void append(Notification &&notification);
    // The view hears of what came, now or (paced) soon.
    void announce();
    // Everything stored, at once (unless paused).
    void flush();
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }
    uint64_t arrivedWhilePaused() const { return m_arrivedWhilePaused; }
    void clear();
    uint64_t dropped() const { return m_dropped; }

    void setMibValues(bool on);
    bool mibValues() const { return m_mibValues; }
    // Names and summaries are made again when the loaded MIB set changed;
    // this tells the view.
    void mibsChanged();

    // A listed notification whole, its bindings unpacked.
    Notification notification(int row) const;
    size_t bindingCount(int row) const;
    // The texts a row shows, UTF-8; the same as the view's.
    std::string text(int row, int column) const;
    // The time as files keep it: "2026-05-20 14:03:07.123".
    static QString fullTime(int64_t receivedMs);

private:
    // The few notifications that come with more than the list's columns.
    struct Extra
    {
        std::optional<TrapV1Fields> v1;
        std::string engineId;
        std::string context;
    };
    // Compact: most texts stay short enough to live inside their strings,
    // and the bindings are one packed string.
    struct Entry
    {
        int64_t receivedMs = 0;
        std::string address;
        std::string identity; // the community, or SNMPv3's user
        std::string packed;   // the bindings
        std::unique_ptr<Extra> extra;
        uint32_t bindingCount = 0;
        uint16_t port = 0;
        NotificationVersion version = NotificationVersion::V2c;
        bool inform = false;
        mutable uint64_t textKey = 0;
        mutable std::string name;
        mutable std::string summary;
    };
    static Notification notificationOf(const Entry &entry);
    void announceNow();
    // What cached texts were made for: the MIB generation and MIB Values.
    uint64_t textKey() const;
    const Entry &texts(const Entry &entry) const;

    std::deque<Entry> m_rows;    // known to the view
    std::deque<Entry> m_waiting; // stored, not yet announced
    size_t m_bound;
    uint64_t m_dropped = 0;
    uint64_t m_arrivedWhilePaused = 0;
    bool m_paused = false;
    bool m_mibValues = false;
    QElapsedTimer m_sinceAnnounce;
    QTimer m_announceTimer;
};
