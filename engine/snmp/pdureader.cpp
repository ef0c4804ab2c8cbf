// SPDX-License-Identifier: MIT
#include "engine/snmp/pdureader.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

bool readDecodedResponse(const snmp_pdu &pdu, berreader::Response &response)
{
    response.requestId = int32_t(pdu.reqid);
    response.errorStatus = int32_t(pdu.errstat);
    response.errorIndex = int32_t(pdu.errindex);
    size_t count = 0;
    for (const netsnmp_variable_list *v = pdu.variables; v; v = v->next_variable)
        ++count;
    response.bindings.resize(count);
    size_t i = 0;
    for (const netsnmp_variable_list *v = pdu.variables; v; v = v->next_variable, ++i) {
        SnmpVarBind &binding = response.bindings[i];
        if (v->name_length > berreader::MaxNameLength)
            return false;
        binding.name.ids.assign(v->name, v->name + v->name_length);
        AsnAny &value = binding.value;
        value = AsnAny();
        value.asnType = v->type;
        switch (v->type) {
        case ASN_INTEGER:
            value.number = v->val.integer ? int32_t(*v->val.integer) : 0;
            break;
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS:
        case ASN_UINTEGER:
            value.unsigned32 = v->val.integer ? uint32_t(*v->val.integer) : 0;
            break;
        case ASN_COUNTER64:
            if (v->val.counter64)
                value.counter64 = uint64_t(v->val.counter64->high) << 32 | uint32_t(v->val.counter64->low);
            break;
        case ASN_OBJECT_ID: {
            const size_t ids = v->val_len / sizeof(oid);
            if (ids > MAX_OID_LEN)
                return false;
            if (v->val.objid)
                value.object.ids.assign(v->val.objid, v->val.objid + ids);
            break;
        }
        case ASN_NULL:
        case SNMP_NOSUCHOBJECT:
        case SNMP_NOSUCHINSTANCE:
        case SNMP_ENDOFMIBVIEW:
            break;
        default:
            // Octet strings, Bits, addresses, Opaques; a type Net-SNMP
            // decodes into a number of its own (its float Opaques) keeps that
            // tag and the octets it holds.
            if (v->val.string && v->val_len > 0)
                value.bytes.assign(reinterpret_cast<const char *>(v->val.string), v->val_len);
            break;
        }
    }
    return true;
}
