# 1: the ports as the real drivers and udev register them, the console left out.
case_listing() {
  "$netcfg" ports >ports.txt
  "$netcfg" ports --json >ports.json
  expect "/dev/ttyS0 is the system console: COM numbers skip it." ports.txt
  expect "COM1  /dev/ttyS1  (present)" ports.txt
  expect "COM2  /dev/ttyUSB0  (present)" ports.txt
  expect "USB serial adapter: QEMU USB SERIAL, QEMU, USB 0403:6001, serial TLV00042" ports.txt
  local by_id=/dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_TLV00042-if00-port0
  [ -L "$by_id" ] || fail "udev made no $by_id: $(ls -R /dev/serial 2>&1 | tr '\n' ' ')"
  expect "$by_id" ports.txt
  local got
  got=$(jq -r '[.comPorts[0].device, .comPorts[1].device, .comPorts[2].device] | join(" ")' ports.json)
  [ "$got" = "/dev/ttyS1 /dev/ttyUSB0 null" ] || [ "$got" = "/dev/ttyS1 /dev/ttyUSB0 " ] ||
    fail "COM1 to COM3 reach \"$got\", not ttyS1, ttyUSB0 and nothing"
  got=$(jq -r '.present[] | select(.device == "/dev/ttyUSB0") |
               [.manufacturer, .description, .vendorId, .productId, .serialNumber, .stableName] | join("|")' ports.json)
  [ "$got" = "QEMU|QEMU USB SERIAL|0403|6001|TLV00042|$by_id" ] || fail "the adapter is listed as \"$got\""
  got=$(jq -r '[.present[] | select(.console) | .device] | join(" ")' ports.json)
  [ "$got" = /dev/ttyS0 ] || fail "the console ports listed are \"$got\", not /dev/ttyS0"
  # ttyS2 and ttyS3 are the 8250 driver's placeholders (type 0): no port.
  got=$(jq -r '[.present[].device] | sort | join(" ")' ports.json)
  [ "$got" = "/dev/ttyS0 /dev/ttyS1 /dev/ttyUSB0" ] || fail "the ports present are \"$got\""
}
