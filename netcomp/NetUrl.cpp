#include "netcomp/NetUrl.h"

#include "lib/SysUtils.h"

namespace {

// The base up to and including its last "/", or "/" when it holds none.
AnsiString BaseDirectory(const AnsiString& base) {
  const int slash = Posn("/", base, -1);
  return slash > 0 ? base.SubString(1, slash) : AnsiString("/");
}

// "../" references: every "../" climbs one directory above the base's own, never past "/".
AnsiString ResolveParentReference(const AnsiString& base, AnsiString rest) {
  AnsiString directory = BaseDirectory(base);
  rest.Delete(1, 3);
  for (;;) {
    directory.Delete(directory.Length(), 1);
    const int slash = Posn("/", directory, -1);
    directory = slash > 0 ? directory.SubString(1, slash) : AnsiString("/");
    if (rest.SubString(1, 3) != "../") break;
    rest.Delete(1, 3);
  }
  return directory + rest;
}

bool IsSchemeText(const AnsiString& candidate) {
  for (char c : candidate.str()) {
    const bool valid =
        (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!valid) return false;
  }
  return true;
}

// Host, port and user information out of the authority (the text before the path).
void SplitAuthority(const AnsiString& authority, AnsiString& User, AnsiString& Pass,
                    AnsiString& Host, AnsiString& Port) {
  const int at = Posn("@", authority, -1);
  const int colon = Posn(":", authority, -1);
  if (at == 0 && colon == 0) {
    Host = authority;
    return;
  }
  if (colon > at) {
    Port = authority.SubString(colon + 1, authority.Length());
    Host = authority.SubString(at + 1, colon - at - 1);
    if (at == 0) return;
  } else {
    Host = authority.SubString(at + 1, authority.Length());
  }
  const AnsiString userInfo = authority.SubString(1, at - 1);
  const int split = userInfo.Pos(":");
  if (split == 0) {
    User = userInfo;
  } else {
    User = userInfo.SubString(1, split - 1);
    Pass = userInfo.SubString(split + 1, userInfo.Length());
  }
}

}  // namespace

void ParseURL(const AnsiString& URL, AnsiString& Proto, AnsiString& User, AnsiString& Pass,
              AnsiString& Host, AnsiString& Port, AnsiString& Path) {
  const AnsiString base = Path;
  Proto = User = Pass = Host = Port = Path = AnsiString();
  if (URL.IsEmpty()) return;

  if (URL.SubString(1, 2) == "./") {
    Path = BaseDirectory(base) + URL.SubString(3, URL.Length());
    return;
  }
  if (URL.SubString(1, 3) == "../") {
    Path = ResolveParentReference(base, URL);
    return;
  }

  AnsiString rest = URL;
  bool schemeFound = false;
  if (const int separator = URL.Pos("://"); separator > 0) {
    const AnsiString candidate = LowerCase(URL.SubString(1, separator - 1));
    if (IsSchemeText(candidate)) {
      Proto = candidate;
      rest = URL.SubString(separator + 3, URL.Length());
      schemeFound = true;
    } else {
      Proto = "http";
    }
  }
  if (!schemeFound) {
    if (URL[1] == '/') {
      Proto = "http";
      if (URL.Length() < 2 || URL[2] != '/') {
        Path = URL;
        return;
      }
      // A network-path reference: the authority follows the "//".
      rest = URL.SubString(3, URL.Length());
    } else if (LowerCase(URL.SubString(1, 5)) == "http:") {
      Proto = "http";
      if (URL.Length() > 6 && URL[7] != '/') {
        Path = URL.SubString(6, URL.Length());
        return;
      }
      rest = URL.SubString(7, URL.Length());
    } else if (LowerCase(URL.SubString(1, 7)) == "mailto:") {
      Proto = "mailto";
      rest = URL.SubString(URL.Pos(":") + 1, URL.Length());
    }
  }

  int pathStart = 0;
  for (int i = 1; i <= rest.Length() && pathStart == 0; ++i)
    if (rest[i] == '/' || rest[i] == '?') pathStart = i;
  AnsiString authority = rest;
  if (pathStart > 0) {
    Path = rest.SubString(pathStart, rest.Length());
    authority = rest.SubString(1, pathStart - 1);
  }
  SplitAuthority(authority, User, Pass, Host, Port);
}

int Posn(const AnsiString& needle, const AnsiString& text, int count) {
  const std::string& haystack = text.str();
  if (count == -1) {
    if (needle.IsEmpty()) return 0;
    const auto at = haystack.rfind(needle.str());
    return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
  }
  if (count <= 0) return 0;
  int position = 0;
  for (int found = 0; found < count; ++found) {
    const auto at = needle.IsEmpty()
                        ? std::string::npos
                        : haystack.find(needle.str(), static_cast<std::size_t>(position));
    if (at == std::string::npos) return text.Length() + count - found;
    position = static_cast<int>(at) + 1;
  }
  return position;
}
