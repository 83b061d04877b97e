#pragma once
// Runs a component's exchange with its script peer to the end, in turns of the event loop and
// steps of the peer on this one thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ScriptPeer.h"

// A fuzzed exchange's input is one byte of settings, then the peer's pieces separated by
// "~~~~". The settings' top bit has the peer write one byte at a time; the others are the
// target's own. Starts the peer that plays the pieces (every connect of the components goes to
// it) and gives it with the settings; nothing for an empty input or one of more than maxPieces.
inline constexpr std::uint8_t kDripSetting = 0x80;
std::unique_ptr<ScriptPeer> StartPeer(const std::uint8_t* data, std::size_t size,
                                      std::size_t maxPieces, ScriptPeer::Options options,
                                      std::uint8_t& settings);

// Turns the event loop and the peer until done() holds. When neither moves for a while the
// peer is nudged (the next piece, or the close); once it has nothing left the loop waits for
// the component a few seconds of wall time. False when done() never held (the component hangs)
// or when the exchange outlasts its bound (the component never stops talking).
bool RunExchange(ScriptPeer& peer, const std::function<bool()>& done);

// Turns the event loop (and the peer) until nothing is left to do, so that a late event shows.
void Settle(ScriptPeer& peer);

// What the component sent to the peer, over how many connections: the context of a finding.
std::string DescribeExchange(const ScriptPeer& peer);
