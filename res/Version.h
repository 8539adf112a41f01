#pragma once

// Name and version of the executable; the About box shows the same pair.
inline constexpr char ExecutableName[] = "TALVOR_EthernetConfig";
inline constexpr char ExecutableVersion[] = "1.0";
