// SPDX-License-Identifier: MIT
#include "tests/support/scriptedagent.h"

#include "tests/support/loopbackudp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <string>

ScriptedAgent::Value ScriptedAgent::Value::null()
{
    return {0x05, {}};
}

ScriptedAgent::Value ScriptedAgent::Value::integer(int32_t number)
{
    return {0x02, ber::integerContent(number)};
}

ScriptedAgent::Value ScriptedAgent::Value::unsignedValue(uint8_t tag, uint32_t number)
{
    return {tag, ber::unsignedContent(number)};
}

ScriptedAgent::Value ScriptedAgent::Value::counter64(uint64_t number)
{
    return {0x46, ber::unsignedContent(number)};
}

ScriptedAgent::Value ScriptedAgent::Value::octets(const QByteArray &bytes, uint8_t tag)
{
    return {tag, bytes};
}

ScriptedAgent::Value ScriptedAgent::Value::objectId(const Oid &id)
{
    return {0x06, ber::oidContent(id)};
}

ScriptedAgent::Value ScriptedAgent::Value::raw(uint8_t tag, const QByteArray &content)
{
    return {tag, content};
}

ScriptedAgent::Response ScriptedAgent::Response::answer(std::vector<Binding> bindings, int32_t errorStatus,
                                                        int32_t errorIndex)
{
    Response response;
    response.bindings = std::move(bindings);
    response.errorStatus = errorStatus;
    response.errorIndex = errorIndex;
    return response;
}

ScriptedAgent::Response ScriptedAgent::Response::silence()
{
    Response response;
    response.kind = Kind::Silence;
    return response;
}

ScriptedAgent::Response ScriptedAgent::Response::closeConnection()
{
    Response response;
    response.kind = Kind::Close;
    return response;
}

ScriptedAgent::Response ScriptedAgent::Response::rawBytes(const QByteArray &datagram)
{
    Response response;
    response.kind = Kind::Raw;
    response.raw = datagram;
    return response;
}

ScriptedAgent::Response ScriptedAgent::Response::error(const Request &request, int32_t errorStatus, int32_t errorIndex)
{
    std::vector<Binding> echoed;
    for (const Oid &name : request.names)
        echoed.push_back({name, Value::null()});
    return answer(std::move(echoed), errorStatus, errorIndex);
}

ScriptedAgent::ScriptedAgent() : m_handler(std::make_shared<const Handler>(tableHandler({}))) {}

ScriptedAgent::~ScriptedAgent()
{
    stop();
}

bool ScriptedAgent::start(Transport transport)
{
    if (m_running)
        return true;
    m_transport = transport;
    const bool tcp = transport == Transport::Tcp;
    m_socket = ::socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
    if (m_socket < 0)
        return false;
    m_port = bindLoopback(m_socket, 0);
    if (m_port == 0 || (tcp && ::listen(m_socket, 4) != 0)) {
        ::close(m_socket);
        m_socket = -1;
        return false;
    }
    m_running = true;
    m_thread = std::thread(tcp ? &ScriptedAgent::serveStream : &ScriptedAgent::serve, this);
    return true;
}

void ScriptedAgent::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_thread.join();
    ::close(m_socket);
    m_socket = -1;
}

QString ScriptedAgent::address() const
{
    return QLatin1String(m_transport == Transport::Tcp ? "tcp:" : "") + QStringLiteral("127.0.0.1:%1").arg(m_port);
}

quint16 ScriptedAgent::port() const
{
    return m_port;
}

void ScriptedAgent::setHandler(Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_handler = std::make_shared<const Handler>(std::move(handler));
}

void ScriptedAgent::setTable(std::vector<Binding> table)
{
    setHandler(tableHandler(std::move(table)));
}

std::vector<ScriptedAgent::Request> ScriptedAgent::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

int ScriptedAgent::undecodedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_undecoded;
}

void ScriptedAgent::clearRequests()
{
    std::lock_guard lock(m_mutex);
    m_requests.clear();
    m_undecoded = 0;
}

ScriptedAgent::Oid ScriptedAgent::oid(const char *dotted)
{
    return ber::parseOid(dotted);
}

ScriptedAgent::Handler ScriptedAgent::tableHandler(std::vector<Binding> table)
{
    std::sort(table.begin(), table.end(), [](const Binding &a, const Binding &b) { return a.name < b.name; });
    return [table = std::move(table)](const Request &request) {
        const bool v2c = request.version == 1;
        const auto successor = [&table](const Oid &name) {
            return std::upper_bound(table.begin(), table.end(), name,
                                    [](const Oid &n, const Binding &b) { return n < b.name; });
        };
        std::vector<Binding> answer;
        for (size_t i = 0; i < request.names.size(); ++i) {
            const Oid &name = request.names[i];
            const auto next = successor(name);
            if (request.pduType == 0xA5) {
                // Non-repeaters once, the others up to max-repetitions times each.
                const bool repeats = int32_t(i) >= request.nonRepeaters;
                auto at = next;
                for (int32_t n = 0; n < (repeats ? request.maxRepetitions : 1); ++n, ++at) {
                    if (at == table.end()) {
                        answer.push_back({n == 0 ? name : std::prev(at)->name, Value::raw(0x82, {})});
                        break;
                    }
                    answer.push_back(*at);
                }
            } else if (request.pduType == 0xA1) {
                if (next != table.end())
                    answer.push_back(*next);
                else if (v2c)
                    answer.push_back({name, Value::raw(0x82, {})});
                else
                    return Response::error(request, 2, int32_t(i + 1));
            } else {
                // upper_bound passed the exact match, if there is one.
                if (next != table.begin() && std::prev(next)->name == name)
                    answer.push_back(*std::prev(next));
                else if (v2c)
                    answer.push_back({name, Value::raw(0x80, {})});
                else
                    return Response::error(request, 2, int32_t(i + 1));
            }
        }
        return Response::answer(std::move(answer));
    };
}

ScriptedAgent::Handler ScriptedAgent::silentHandler()
{
    return [](const Request &) { return Response::silence(); };
}

ScriptedAgent::Handler ScriptedAgent::errorStatusHandler(int32_t errorStatus, int32_t errorIndex)
{
    return [errorStatus, errorIndex](const Request &request) {
        return Response::error(request, errorStatus, errorIndex);
    };
}

ScriptedAgent::Handler ScriptedAgent::sameBindingHandler(Binding binding)
{
    return [binding = std::move(binding)](const Request &) { return Response::answer({binding}); };
}

ScriptedAgent::Handler ScriptedAgent::endlessSubtreeHandler(const char *subtree, Value value)
{
    return [root = oid(subtree), value = std::move(value)](const Request &request) {
        std::vector<Binding> answer;
        for (const Oid &name : request.names) {
            const bool under = name.size() == root.size() + 1 && std::equal(root.begin(), root.end(), name.begin());
            uint32_t next = under ? name.back() + 1 : 1;
            for (int32_t n = 0; n < std::max(1, request.pduType == 0xA5 ? request.maxRepetitions : 1); ++n) {
                Oid successor = root;
                successor.push_back(next++);
                answer.push_back({std::move(successor), value});
            }
        }
        return Response::answer(std::move(answer));
    };
}

ScriptedAgent::Handler ScriptedAgent::integerSubtreeHandler(const char *subtree, int count)
{
    std::vector<Binding> bindings;
    for (int i = 1; i <= count; ++i) {
        const std::string dotted = std::string(subtree) + '.' + std::to_string(i);
        bindings.push_back({oid(dotted.c_str()), Value::integer(i)});
    }
    return [bindings = std::move(bindings)](const Request &request) {
        std::vector<Binding> answer;
        for (const Oid &name : request.names) {
            const auto next = std::upper_bound(bindings.begin(), bindings.end(), name,
                                               [](const Oid &n, const Binding &b) { return n < b.name; });
            if (next == bindings.end())
                return Response::error(request, 2, 1);
            answer.push_back(*next);
        }
        return Response::answer(std::move(answer));
    };
}

ScriptedAgent::Handler ScriptedAgent::garbageHandler()
{
    return [](const Request &) {
        // A sequence header promising more than follows, then noise.
        return Response::rawBytes(QByteArray::fromHex("30 7f 02 01 00 04 06 74 61 72 6e 65 6c a2 ff ff 13 37"));
    };
}

ScriptedAgent::Handler ScriptedAgent::wrongIdHandler(Handler inner)
{
    return [inner = std::move(inner)](const Request &request) {
        Response response = inner(request);
        response.requestId = request.requestId + 1;
        return response;
    };
}

std::optional<QByteArray> ScriptedAgent::answer(const QByteArray &datagram, bool *close)
{
    const auto message = ber::decodeMessage(datagram);
    // Shared, not copied: a table handler carries its whole table.
    std::shared_ptr<const Handler> handler;
    {
        std::lock_guard lock(m_mutex);
        if (!message) {
            ++m_undecoded;
            return std::nullopt;
        }
        handler = m_handler;
    }
    Request request;
    request.pduType = message->pduType;
    request.requestId = message->requestId;
    request.version = message->version;
    request.community = message->community;
    request.nonRepeaters = message->errorStatus;
    request.maxRepetitions = message->errorIndex;
    for (const ber::VarBind &binding : message->bindings)
        request.names.push_back(binding.name);
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }

    const Response response = handler && *handler ? (*handler)(request) : Response::silence();
    *close = response.kind == Response::Kind::Close || response.thenClose;
    if (response.kind == Response::Kind::Silence || response.kind == Response::Kind::Close)
        return std::nullopt;
    if (response.kind == Response::Kind::Raw)
        return response.raw;
    ber::Message reply;
    reply.version = message->version;
    reply.community = message->community;
    reply.pduType = 0xA2;
    reply.requestId = response.requestId.value_or(request.requestId);
    reply.errorStatus = response.errorStatus;
    reply.errorIndex = response.errorIndex;
    for (const Binding &binding : response.bindings)
        reply.bindings.push_back({binding.name, binding.value.tag, binding.value.content});
    return ber::encodeMessage(reply);
}

void ScriptedAgent::serve()
{
    QByteArray buffer(65536, '\0');
    while (m_running) {
        pollfd watched{m_socket, POLLIN, 0};
        // A short wait keeps stop() prompt without a wake-up pipe.
        if (::poll(&watched, 1, 50) <= 0)
            continue;
        sockaddr_in peer{};
        socklen_t peerLength = sizeof(peer);
        const ssize_t received = ::recvfrom(m_socket, buffer.data(), size_t(buffer.size()), 0,
                                            reinterpret_cast<sockaddr *>(&peer), &peerLength);
        if (received <= 0)
            continue;
        bool close = false;
        if (const std::optional<QByteArray> datagram = answer(buffer.left(qsizetype(received)), &close))
            ::sendto(m_socket, datagram->constData(), size_t(datagram->size()), 0,
                     reinterpret_cast<sockaddr *>(&peer), peerLength);
    }
}

// The length of the BER item at the start of the bytes, header included, or
// 0 while its header is incomplete.
static qsizetype itemLength(const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return 0;
    const auto first = uchar(bytes[1]);
    if (first < 0x80)
        return 2 + first;
    const int count = first & 0x7F;
    if (count == 0 || count > 4 || bytes.size() < 2 + count)
        return count == 0 || count > 4 ? bytes.size() : 0; // indefinite or huge: take what there is
    qsizetype length = 0;
    for (int i = 0; i < count; ++i)
        length = (length << 8) | uchar(bytes[2 + i]);
    return 2 + count + length;
}

void ScriptedAgent::serveStream()
{
    int client = -1;
    QByteArray pending;
    QByteArray buffer(65536, '\0');
    const auto hangUp = [&] {
        if (client >= 0)
            ::close(client);
        client = -1;
        pending.clear();
    };
    while (m_running) {
        pollfd watched{client >= 0 ? client : m_socket, POLLIN, 0};
        if (::poll(&watched, 1, 50) <= 0)
            continue;
        if (client < 0) {
            client = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
            continue;
        }
        const ssize_t received = ::recv(client, buffer.data(), size_t(buffer.size()), 0);
        if (received <= 0) {
            hangUp();
            continue;
        }
        pending.append(buffer.constData(), qsizetype(received));
        for (qsizetype length; (length = itemLength(pending)) > 0 && length <= pending.size();) {
            const QByteArray message = pending.left(length);
            pending.remove(0, length);
            bool close = false;
            if (const std::optional<QByteArray> reply = answer(message, &close))
                ::send(client, reply->constData(), size_t(reply->size()), MSG_NOSIGNAL);
            if (close) {
                hangUp();
                break;
            }
        }
    }
    hangUp();
}
