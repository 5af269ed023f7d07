// The process-wide buffers and counters of the SNMP library, all zero (or
// their stated start value) when the process starts.
#include "snmp/NetIO.h"

// SNMP v1 value callbacks.
char g_deviceid[DEVICEID_BUF_SIZE];
char g_RecvBuf[RECVBUF_SIZE];
unsigned char sysObjId[SYSOBJID_SIZE];
int sysObjIdLen = 0;

// The IPv6 scope that discovery learns.
int scope_id = 0;
char g_ifsName[256] = "%en0";

// SNMPv3 counters.
unsigned short SNMPv3MsgID = 0;
unsigned short SNMPv3RequestID = 0;
unsigned int salt_low = 0;

// SNMPv3 device information and discovery (searchAgentProCallbackEx2).
unsigned char _sysObjIdOid[V3_VALUE_BUF_SIZE];
unsigned char _sysNameOid[V3_VALUE_BUF_SIZE];
unsigned char _pvtDevIdOid[V3_VALUE_BUF_SIZE];
unsigned char _pvtFwVerOid[V3_VALUE_BUF_SIZE];
unsigned char _pvtMcuVerOid[V3_VALUE_BUF_SIZE];
unsigned char _sysObjIdValue[V3_VALUE_BUF_SIZE];
int _sysObjIdLen = 0;
char _sysNameValue[V3_VALUE_BUF_SIZE];
char _pvtFwVerValue[V3_VALUE_BUF_SIZE];
char _pvtMcuVerValue[V3_VALUE_BUF_SIZE];
char _pvtDevIdValue[V3_DEVID_VALUE_SIZE];
int _availFlag = 0;

// The scope FindSnmpAgent3Times found answers on.
int g_findScanIndex = -1;

// What the listening loops left out.
SnmpListenCounts g_listenCounts = {};
