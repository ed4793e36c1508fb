// What the mixer (mixer.h) and its connection to the sound server (mixer_connection.h) share.
#pragma once

namespace wavlon::platform {

// Longest wait for the server to accept a connection, and for one request to be answered.
constexpr int kMixerConnectTimeoutMs = 1500;
constexpr int kMixerRequestTimeoutMs = 2000;

enum class MixerControlType { Volume, Mute };

}  // namespace wavlon::platform
