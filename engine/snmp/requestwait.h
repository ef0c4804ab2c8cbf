// SPDX-License-Identifier: MIT
#pragma once

// One request on a Net-SNMP single session: sent, then waited for through
// retries and their timeouts, as snmp_sess_synch_response does, but with a
// choice of how the thread waits and a way to give up; its answer read by
// the engine's own reader, not by Net-SNMP (but for SNMPv3, whose messages
// only Net-SNMP can authenticate and decrypt).

#include "engine/snmp/berreader.h"
#include "engine/snmp/requestoptions.h"

#include <chrono>
#include <memory>
#include <optional>

struct snmp_pdu;
struct snmp_session;

struct PduDeleter
{
    void operator()(snmp_pdu *pdu) const;
};
using PduPtr = std::unique_ptr<snmp_pdu, PduDeleter>;

enum class WaitOutcome {
    Answered,   // a GetResponse to the request, read into the caller's records
    TimedOut,   // nothing came within timeout x (retries + 1) but answers to earlier requests
    Unreadable, // the same, although other datagrams came: none a usable answer
    SendFailed, // the request could not be sent, or the socket failed
    Closed,     // a stream transport's connection was closed or reset
    Abandoned,  // the caller gave the request up
    Failed,     // anything else; the session's s_snmp_errno says why
};

// What a session keeps of the request it has outstanding. The session owns
// it, not the wait: a request given up stays in Net-SNMP's list until the
// session closes, and Net-SNMP then reports it through the callback that
// points here. Its parse hook (readDatagram, with the session's myvoid
// pointing here) reads every datagram into it; an SNMPv3 session's post-parse
// hook (keepDecodedAnswer) every message Net-SNMP decoded.
struct RequestExchange
{
    int version = 0;          // 0 SNMPv1, 1 SNMPv2c: only GetResponses of it are answers; 3 SNMPv3
    long requestId = 0;       // the request outstanding; Net-SNMP never hands out 0
    long firstId = 0;         // the session's first request; ids only grow
    bool waiting = false;
    WaitOutcome outcome = WaitOutcome::Failed;
    bool answered = false;    // `answer` holds the response to the request
    unsigned strayDatagrams = 0; // datagrams that came, but answers to earlier requests
    unsigned strayAtSend = 0;    // their count when the request outstanding went out
    // How long waits took until a datagram was there, averaged: the next
    // wait polls before it sleeps while this is short.
    std::chrono::nanoseconds typicalWait{0};
    berreader::Response answer;
    berreader::Response incoming; // read into here first, so a bad datagram spoils nothing
    int report = 0;           // SNMPv3: why the agent refused the request (SNMPERR_*), from its report
};

// The session's parse hook in place of Net-SNMP's decoding, which refuses
// some tags and lengths an agent may send and rewrites some Opaques.
int readDatagram(snmp_session *session, snmp_pdu *pdu, unsigned char *packet, size_t length);
// An SNMPv3 session's post-parse hook: the answer to the request from the PDU
// Net-SNMP decoded, and what a report to it says.
int keepDecodedAnswer(snmp_session *session, snmp_pdu *pdu, int result);

// Sends the request and waits for how it ends; on Answered the answer's
// records are swapped into `answer`. ProcessEvents needs a QCoreApplication;
// without one the wait blocks. The abandon check is asked only after the
// first few milliseconds (most answers come within one), and only while
// events are processed.
//
// Nothing of Net-SNMP is on the stack while events are processed, so a
// handler run meanwhile may use Net-SNMP, other sessions included.
WaitOutcome sendAndWait(void *session, PduPtr request, RequestExchange &exchange, RequestWait wait,
                        const AbandonCheck &abandoned, berreader::Response &answer);

// The same in two steps, so that the caller can work while the agent
// answers: the request sent (nothing on success, else how it failed), then
// its end waited for. A datagram that comes in between waits in the socket.
std::optional<WaitOutcome> sendOnly(void *session, PduPtr request, RequestExchange &exchange);
WaitOutcome awaitAnswer(void *session, RequestExchange &exchange, RequestWait wait, const AbandonCheck &abandoned,
                        berreader::Response &answer);

// The wait done by the caller's own event loop instead, one step at a time:
// reads a datagram when the socket is readable (checked again here, so a
// stale notification never blocks) and handles the retries and timeouts due.
// The milliseconds until the next one falls due while the request still
// waits; nothing once it has ended (awaitAnswer then takes it at once).
std::optional<int> serviceRequest(void *session, RequestExchange &exchange, bool readable);
// The session's socket, -1 when it has none (a stream whose peer closed it).
int sessionSocket(void *session);
