#pragma once

// Name and version of the executable; the About box shows the same pair.
inline constexpr char kExecutableName[] = "TALVOR_EthernetConfig";
inline constexpr char kExecutableVersion[] = "1.0";
