#pragma once
// The refresh agent's presence signal: while it runs, a window of this caption is open.
inline constexpr const char* agentWindowCaption = "Tarnwick Refresh Data Agent";
