#pragma once

// The same numbers travel as byte 2 of an attribute block and as the network type of link requests.
enum NetworkType : int {
    NetworkNone = 0,
    NetworkEthernet = 1,
    NetworkDeviceNet = 2,
    NetworkProfibus = 3,
};
