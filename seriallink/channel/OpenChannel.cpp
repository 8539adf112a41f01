#include "seriallink/channel/OpenChannel.h"

#include "seriallink/channel/LinkInterruption.h"
#include "seriallink/network/NetworkPort.h"
#include "seriallink/network/PortUrl.h"
#include "seriallink/serial/SerialPort.h"

namespace {

LinkResult Open(const std::string& name, std::int32_t baudRate, std::unique_ptr<CByteChannel>& channel,
                const PortNoteSink& notes) {
    if (LooksLikeUrl(name))
        return CNetworkPort::Open(name, baudRate, notes, channel);
    std::unique_ptr<CSerialPort> port;
    const LinkResult result = CSerialPort::Open(name, baudRate, port, notes);
    channel = std::move(port);
    return result;
}

} // namespace

LinkResult OpenChannel(const std::string& name, std::int32_t baudRate, std::unique_ptr<CByteChannel>& channel,
                       const PortNoteSink& notes) {
    const LinkResult result = Open(name, baudRate, channel, notes);
    // A wait cut short ends as its time running out would (a lookup or a connection given up): what
    // failed it was the interruption.
    return result != linkcode::Success && LinksInterrupted() ? linkcode::UserAbort : result;
}
