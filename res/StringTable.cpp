#include "res/StringTable.h"

#include "res/ResourceIds.h"

#include <algorithm>
#include <array>

namespace {

struct StringEntry {
    unsigned id;
    const char* text;
};

// Sorted by id. Ids in the range without an entry (106, 108, 119, 121, 123, 126) have no text.
constexpr std::array Strings{
    StringEntry{IDS_ABOUTBOX, "&About TALVOR_EthernetConfig..."},
    StringEntry{IDS_ERR_OPEN_PORT, "Error C01_1:  Unable to open communication port."},
    StringEntry{IDS_ERR_PORT_IN_USE,
                "Error C01_3:  communication port is being used by some other application, Access denied."},
    StringEntry{IDS_ERR_CHECKSUM, "Incorrect Communication Packet  (Checksum Error)."},
    StringEntry{IDS_ERR_TIME_OUT, "Incorrect Communication Packet  (Time Out Error). \n"
                                  "Check cable, communication port and ports assignment on panel."},
    StringEntry{IDS_ERR_MESSAGE_CODE, "Incorrect Communication Packet  (Incorrect message code)."},
    StringEntry{IDS_ERR_OUT_OF_MEMORY, "PLC out of memory!"},
    StringEntry{IDS_ERR_MESSAGE_NUMBER, "Incorrect Communication Packet  (Incorrect message number)."},
    StringEntry{IDS_ERR_MESSAGE_LENGTH, "Incorrect Communication Packet  (Incorrect message length)."},
    StringEntry{IDS_ERR_TYPE, "Incorrect Communication Packet  (Incorrect type)."},
    StringEntry{IDS_ERR_EEPROM_PROGRAM, "Incorrect Communication Packet  (Error in EEPROM program)."},
    StringEntry{IDS_ERR_MESSAGE_LOAD, "Incorrect Communication Packet  (Incorrect message load)."},
    StringEntry{IDS_ERR_READ_ONLY, "Incorrect Communication Packet  (Program read only error)."},
    StringEntry{IDS_ERR_FORMAT, "Incorrect Communication Packet  (Incorrect Format)."},
    StringEntry{IDS_ERR_IMAGE_NOT_FOUND, "Incorrect Communication Packet  (Image not found)."},
    StringEntry{IDS_ERR_PORT_CONFLICT, "There is a Port conflict. Check the ports."},
    StringEntry{IDS_ERR_PROTECTION, "Incorrect Communication Packet  (Protection error)."},
    StringEntry{IDS_ERR_IN_MOTION, "Function not allowed during motion!"},
    StringEntry{IDS_ERR_NOT_PROGRAM_MODE, "PLC is not in Program Mode"},
    StringEntry{IDS_ERR_PASSWORD, "Password does not match the system attributes password"},
    StringEntry{IDS_ERR_FORCE_TYPE, "Can not force the type of element specified!"},
    StringEntry{IDS_ERR_USER_ABORT, "User aborted communication."},
    StringEntry{IDS_ERR_MODEM_ABORT, "Communication aborted due to modem errors."},
    StringEntry{IDS_ERR_NOT_INITIALIZED, "Morvik dll not initialized."},
    StringEntry{IDS_ERR_ARGUMENT_TYPE, "Invalid argument type."},
    StringEntry{IDS_ERR_CREATE_THREAD, "Unable to create thread."},
    StringEntry{IDS_ERR_CLOSE_PORT, "Unable to close communication port."},
    StringEntry{IDS_ERR_NOT_LOADED, "Morvik Dll not loaded."},
    StringEntry{IDS_ERR_START_ADDRESS, "The starting address does not match."},
    StringEntry{
        IDS_ERR_START_REBOOT,
        "Could not start/re-boot TALVOR. Please make sure that the Run Switch (Switch 3) is set to ON "
        "position."},
    StringEntry{IDS_ERR_TRANSMIT, "Error in transmitting data."},
    StringEntry{IDS_UNKNOWN_LINK_ERROR,
                "Error C01_4:  Unknown communication error. Please check the cable and connection."},
};

static_assert(std::is_sorted(Strings.begin(), Strings.end(),
                             [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; }));

} // namespace

QString LoadResourceString(unsigned id) {
    const auto entry = std::lower_bound(Strings.begin(), Strings.end(), id,
                                        [](const StringEntry& e, unsigned wanted) { return e.id < wanted; });
    if (entry == Strings.end() || entry->id != id)
        return {};
    return QString::fromUtf8(entry->text);
}
