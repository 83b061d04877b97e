#pragma once
// The maker's details shown on the Help and Support Center pages.

inline constexpr const char* supportMailAddress = "support@holvex.example";
// The fixed line under the version caption of the About group.
inline constexpr const char* aboutTextLine = "Auction sniping control for eBay buyers. (c) Holvex";
