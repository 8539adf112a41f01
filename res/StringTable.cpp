#include "res/StringTable.h"

#include <algorithm>
#include <array>

namespace {

struct StringEntry {
    unsigned id;
    const char* text;
};

// Sorted by id. Ids in the range without an entry (106, 108, 119, 121, 123, 126) have no text.
constexpr std::array kStrings{
    StringEntry{101, "&About TALVOR_EthernetConfig..."},
    StringEntry{102, "Error C01_1:  Unable to open communication port."},
    StringEntry{103,
                "Error C01_3:  communication port is being used by some other application, Access denied."},
    StringEntry{104, "Incorrect Communication Packet  (Checksum Error)."},
    StringEntry{105, "Incorrect Communication Packet  (Time Out Error). \n"
                     "Check cable, communication port and ports assignment on panel."},
    StringEntry{107, "Incorrect Communication Packet  (Incorrect message code)."},
    StringEntry{109, "PLC out of memory!"},
    StringEntry{110, "Incorrect Communication Packet  (Incorrect message number)."},
    StringEntry{111, "Incorrect Communication Packet  (Incorrect message length)."},
    StringEntry{112, "Incorrect Communication Packet  (Incorrect type)."},
    StringEntry{113, "Incorrect Communication Packet  (Error in EEPROM program)."},
    StringEntry{114, "Incorrect Communication Packet  (Incorrect message load)."},
    StringEntry{115, "Incorrect Communication Packet  (Program read only error)."},
    StringEntry{116, "Incorrect Communication Packet  (Incorrect Format)."},
    StringEntry{117, "Incorrect Communication Packet  (Image not found)."},
    StringEntry{118, "There is a Port conflict. Check the ports."},
    StringEntry{120, "Incorrect Communication Packet  (Protection error)."},
    StringEntry{122, "Function not allowed during motion!"},
    StringEntry{124, "PLC is not in Program Mode"},
    StringEntry{125, "Password does not match the system attributes password"},
    StringEntry{127, "Can not force the type of element specified!"},
    StringEntry{128, "User aborted communication."},
    StringEntry{129, "Communication aborted due to modem errors."},
    StringEntry{130, "Morvik dll not initialized."},
    StringEntry{131, "Invalid argument type."},
    StringEntry{132, "Unable to create thread."},
    StringEntry{133, "Unable to close communication port."},
    StringEntry{134, "Morvik Dll not loaded."},
    StringEntry{135, "The starting address does not match."},
    StringEntry{
        136, "Could not start/re-boot TALVOR. Please make sure that the Run Switch (Switch 3) is set to ON "
             "position."},
    StringEntry{137, "Error in transmitting data."},
    StringEntry{138, "Error C01_4:  Unknown communication error. Please check the cable and connection."},
};

static_assert(std::is_sorted(kStrings.begin(), kStrings.end(),
                             [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; }));

} // namespace

QString LoadResourceString(unsigned id) {
    const auto entry = std::lower_bound(kStrings.begin(), kStrings.end(), id,
                                        [](const StringEntry& e, unsigned wanted) { return e.id < wanted; });
    if (entry == kStrings.end() || entry->id != id)
        return {};
    return QString::fromUtf8(entry->text);
}
