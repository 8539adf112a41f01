#!/usr/bin/env bash
# The settle after open on the kernel's own serial drivers (8250 on ttyS1, ftdi_sio on ttyUSB0) against
# a pseudo-terminal: case 8 of scripts/drivers, in its QEMU guest, with the simulators paced at 19200
# bit/s. Prints milliseconds from the link's start to the first request sent, to the end of one
# status-id exchange and of a status-id-plus-read pair, and a commission row's duration.
exec "$(dirname "$0")/../scripts/drivers" 8
