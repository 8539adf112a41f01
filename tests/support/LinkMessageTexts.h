#pragma once

// The message of a link time-out, written out once for every test that expects it: string 105 as the
// user reads it, broken after its first sentence.
inline constexpr char TimeOutText[] = "Incorrect Communication Packet  (Time Out Error). \n"
                                      "Check cable, communication port and ports assignment on panel.";
