#include "seriallink/channel/OpenChannel.h"

#include "seriallink/network/NetworkPort.h"
#include "seriallink/network/PortUrl.h"
#include "seriallink/serial/SerialPort.h"

LinkResult OpenChannel(const std::string& name, std::int32_t baudRate, std::unique_ptr<CByteChannel>& channel,
                       const PortNoteSink& notes) {
    if (LooksLikeUrl(name))
        return CNetworkPort::Open(name, baudRate, notes, channel);
    std::unique_ptr<CSerialPort> port;
    const LinkResult result = CSerialPort::Open(name, baudRate, port, notes);
    channel = std::move(port);
    return result;
}
