# Runs the configure-time credential check on one value:
#   cmake -DVAR=LEVELWATCH_SNMPV3_USER -DVALUE=... -DMIN=1 -DMAX=32 -P check_credential.cmake
# Fails (as configuring would) for an empty, short, long or unusable value.
include(${LW_SOURCE_DIR}/tool/snmp/SnmpV3Credentials.cmake)
set(${VAR} "${VALUE}")
lw_check_snmpv3_credential(${VAR} ${MIN} ${MAX})
