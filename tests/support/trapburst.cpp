// SPDX-License-Identifier: MIT
// A burst of SNMPv2c linkDown traps, sent as fast as Net-SNMP sends them
// from one session, each encoded as an agent encodes its own:
//
//   trapburst HOST:PORT COUNT [COMMUNITY]
//
// Trap i (1 to COUNT) carries ifIndex.i = i, ifAdminStatus.i = up(1) and
// ifOperStatus.i = down(2), so a receiver can tell that every one came.
// Prints "sent=COUNT ms=T" when done; exit status 1 when a send failed.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: trapburst HOST:PORT COUNT [COMMUNITY]\n");
        return 2;
    }
    const long count = std::atol(argv[2]);
    const char *community = argc > 3 ? argv[3] : "public";
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);

    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.peername = argv[1];
    settings.version = SNMP_VERSION_2c;
    settings.community = reinterpret_cast<u_char *>(const_cast<char *>(community));
    settings.community_len = std::strlen(community);
    void *session = snmp_sess_open(&settings);
    if (!session) {
        std::fprintf(stderr, "trapburst: cannot open a session to %s\n", argv[1]);
        return 1;
    }
    static const oid upTime[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
    static const oid trapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
    static const oid linkDown[] = {1, 3, 6, 1, 6, 3, 1, 1, 5, 3};
    oid column[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 0};
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    for (long i = 1; i <= count; ++i) {
        netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_TRAP2);
        const long ticks = i;
        snmp_pdu_add_variable(pdu, upTime, OID_LENGTH(upTime), ASN_TIMETICKS, &ticks, sizeof ticks);
        snmp_pdu_add_variable(pdu, trapOid, OID_LENGTH(trapOid), ASN_OBJECT_ID, linkDown, sizeof linkDown);
        const long values[] = {i, 1, 2}; // ifIndex, ifAdminStatus up, ifOperStatus down
        const oid columns[] = {1, 7, 8};
        column[10] = oid(i);
        for (int c = 0; c < 3; ++c) {
            column[9] = columns[c];
            snmp_pdu_add_variable(pdu, column, OID_LENGTH(column), ASN_INTEGER, &values[c], sizeof values[c]);
        }
        if (!snmp_sess_send(session, pdu)) {
            snmp_free_pdu(pdu);
            status = 1;
        }
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    snmp_sess_close(session);
    std::printf("sent=%ld ms=%.1f\n", count, ms);
    return status;
}
