#pragma once
// The maker's details: shown on the Help and Support Center pages and opened by their
// launchers. One place for every address the portal names.

// The support mail address on the Support Center page.
inline constexpr const char* supportMailAddress = "support@holvex.example";
// The support forums, opened in the system browser by "Support Forums".
inline constexpr const char* supportForumUrl = "https://www.holvex.example/members/forums/";
// The contact page, opened by the Support Center's picture button.
inline constexpr const char* contactPageUrl = "https://www.holvex.example/contact/";
// The maker's members' club, within which the support forums are found.
inline constexpr const char* membersClubName = "Holvex Members Club";
// The fixed line under the version caption of the About group.
inline constexpr const char* aboutTextLine = "Auction sniping control for eBay buyers. (c) Holvex";
