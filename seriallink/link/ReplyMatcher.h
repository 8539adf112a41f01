#pragma once

#include "seriallink/frame/FrameDecoder.h"
#include "seriallink/frame/LinkCodes.h"

class CLinkTrace;

#include <cstddef>
#include <cstdint>
#include <span>

// Picks the reply to one request out of what comes back on the line. Passed over: the request itself
// handed straight back (a two-wire RS-485 adapter echoes what it sends), noise, damaged frames and
// replies to other requests (a message code or sequence number not the request's: a late answer to an
// earlier exchange, perhaps of an earlier process, whose numbers start again at 1). The first damage is
// kept for when no reply comes; a reply to another request is no damage, only not the one awaited.
class ReplyMatcher {
public:
    // `request` is the whole request frame as sent; it must outlive the matcher. `trace`, where given, is
    // told of each frame passed over.
    ReplyMatcher(std::span<const std::uint8_t> request, std::size_t capacity, CLinkTrace* trace = nullptr);

    // Takes the next bytes from the line; true once the reply is complete, which is then in `reply`.
    bool Feed(std::span<const std::uint8_t> bytes, Frame& reply);

    // True while a reply frame has begun but is not complete.
    bool InFrame() const { return m_decoder.InFrame(); }

    // Bytes still to come before the reply can be complete, at the least: the rest of the frame begun,
    // else a smallest frame, after the rest of the request's echo while that may still be coming.
    std::size_t Awaited() const;

    // The line went quiet in the middle of a frame: gives up the frames begun; true when a whole reply
    // lay among the bytes held behind them, which is then in `reply`.
    bool LineQuiet(Frame& reply);

    // The first damage seen: Checksum or MessageLength; Success when none.
    LinkResult Damage() const { return m_damage; }

private:
    std::span<const std::uint8_t> PassEcho(std::span<const std::uint8_t> bytes, Frame& reply, bool& found);
    bool Decode(std::span<const std::uint8_t> bytes, Frame& reply);
    // Looks through what the decoder found last.
    bool Take(Frame& reply);
    void NoteDamage(LinkResult code);
    void Reject(std::span<const std::uint8_t> frame, LinkResult reason) const;

    std::span<const std::uint8_t> m_request;
    FrameHeader m_expected;   // the request's header: its reply echoes the message code and sequence number
    std::size_t m_echoed = 0; // bytes of the request seen back so far
    bool m_echoOpen = true;   // the line has only handed back the request's own bytes so far
    FrameDecoder m_decoder;
    FrameDecoder::Results m_found;
    LinkResult m_damage = linkcode::Success;
    CLinkTrace* m_pTrace;
};
