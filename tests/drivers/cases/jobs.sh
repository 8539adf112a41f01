# 2: every companion job on both real drivers, and the dialog over the USB adapter as Com2.
jobs_on() {
  local port=$1 mac=$2
  "$netcfg" status --port "$port" >status.txt || fail "status on $port: $(cat status.txt)"
  expect "statusId: 54560100" status.txt
  local type
  for type in ethernet devicenet profibus; do
    "$netcfg" read "$type" --port "$port" >read.txt 2>&1 || fail "read $type on $port: $(cat read.txt)"
  done
  "$netcfg" write devicenet --mac-id "$mac" --port "$port" >write.txt 2>&1 || fail "write on $port: $(cat write.txt)"
  "$netcfg" read devicenet --port "$port" >read.txt
  expect "macId:          $mac" read.txt
  "$netcfg" backup before.json --port "$port" >/dev/null 2>&1 || fail "backup on $port"
  "$netcfg" write profibus --node 99 --port "$port" >/dev/null 2>&1 || fail "write profibus on $port"
  "$netcfg" restore before.json --port "$port" >restore.txt 2>&1 || fail "restore on $port: $(cat restore.txt)"
  "$netcfg" backup after.json --port "$port" >/dev/null 2>&1
  cmp -s before.json after.json ||
    fail "restore on $port left $(jq -c .fields.profibus after.json), not $(jq -c .fields.profibus before.json)"
}

case_jobs() {
  jobs_on /dev/ttyS1 31
  jobs_on COM2 32
  "$dialog" --gtest_filter='RealPortDialog.ReadsDeviceNetAndProgramsMacIdThroughCom2' >dialog.txt 2>&1 ||
    fail "the dialog over Com2: $(grep -E 'Failure|Expected|Which is|actual' dialog.txt | head -n 6 | tr '\n' ' ')"
  "$netcfg" read devicenet --port /dev/ttyUSB0 >read.txt
  expect "macId:          41" read.txt
}

# 3: a plan over both ports at once, with a report and backups.
case_plan() {
  mkdir -p backups
  printf 'name,port,ip,mac-id\npress-1,COM1,10.0.3.11,11\npress-2,COM2,10.0.3.12,12\n' >plan.csv
  "$netcfg" commission plan.csv --report report.csv --backups backups >commission.txt 2>&1 ||
    fail "commission: $(tail -n 5 commission.txt | tr '\n' ' ')"
  [ "$(grep -c . report.csv)" = 3 ] || fail "the report holds $(cat report.csv | tr '\n' '|')"
  local name
  for name in press-1-before press-1 press-2-before press-2; do
    jq -e . "backups/$name.json" >/dev/null || fail "no complete backup $name.json"
  done
  "$netcfg" read ethernet --port COM1 >read.txt && expect "10.0.3.11" read.txt
  "$netcfg" read devicenet --port /dev/ttyUSB0 >read.txt && expect "macId:          12" read.txt
}
