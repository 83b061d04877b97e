// The exact lines of the attachment and HTML mailers, against a loopback sink that keeps every
// message as its lines arrived.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

#include "MailSink.h"
#include "SmtpFixture.h"
#include "netcomp/Mimeutil.h"

namespace {

using Lines = std::vector<std::string>;

void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

// The base64 lines of a file's bytes, 54 bytes a line, with the empty last line of a size
// that is a multiple of 54.
Lines base64Lines(const std::string& bytes) {
  Lines out;
  std::size_t at = 0;
  do {
    out.push_back(Base64Encode(bytes.substr(at, 54)).str());
    at += 54;
  } while (at <= bytes.size() && !(at == bytes.size() && bytes.size() % 54 != 0));
  return out;
}

Lines concat(std::initializer_list<Lines> parts) {
  Lines out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The header's lines and the body's lines of a message.
struct Message {
  Lines header, body;
  bool hasHeader(const std::string& line) const {
    return std::find(header.begin(), header.end(), line) != header.end();
  }
};

Message split(const Lines& lines) {
  const auto end = std::find(lines.begin(), lines.end(), "");
  return {Lines(lines.begin(), end), Lines(end == lines.end() ? end : end + 1, lines.end())};
}

// The text between the first pair of double quotes on the line that starts with prefix.
std::string quotedAfter(const Lines& lines, const std::string& prefix) {
  for (const auto& line : lines) {
    if (line.rfind(prefix, 0) != 0) continue;
    const auto open = line.find('"');
    return line.substr(open + 1, line.find('"', open + 1) - open - 1);
  }
  return {};
}

TStringList listOf(const Lines& lines) {
  TStringList list;
  for (const auto& line : lines) list.Add(line.c_str());
  return list;
}

// One connected client of the given kind and the sink it sends to, with two files to attach:
// "a.txt" (100 bytes) and "b.bin" (108 bytes, a multiple of 54).
template <class Client>
struct MailSession {
  MailSession() {
    client.Host = "127.0.0.1";
    client.Port = AnsiString(std::to_string(sink.port()));
    client.HdrFrom = "tarn@client.test";
    client.HdrSubject = "files";
    rec.attach(client);
    // The HTML generator shows every line to OnGetData, which could end the body.
    if constexpr (std::is_base_of_v<THtmlSmtpCli, Client>) client.OnGetData = nullptr;
    writeFile("a.txt", std::string(100, 'A'));
    writeFile("b.bin", std::string(108, '\x80'));
    client.Connect();
    EXPECT_EQ(rec.next(), (RequestEnd{smtpConnect, 0}));
  }
  ~MailSession() {
    if (client.Connected()) client.Abort();
  }
  // Sends one message with Data and returns it as the sink took it (nothing when the request
  // is to fail).
  Message send(WORD code = 0) {
    const std::size_t before = sink.messages().size();
    client.Data();
    EXPECT_EQ(rec.next(), (RequestEnd{smtpData, code})) << client.ErrorMessage().str();
    if (code != 0) return {};
    EXPECT_TRUE(pumpUntil([&] { return sink.messages().size() > before; }));
    return split(sink.messages().back());
  }
  MailSink sink;
  Client client{nullptr};
  SmtpRecorder rec;
};

// The part of one file as TSmtpCli writes it, after the empty line that opens it.
Lines filePart(const std::string& boundary, const std::string& name, const std::string& bytes) {
  return concat({{"--" + boundary, "Content-Type: " + FilenameToContentType(name).str() + ";",
                  "\tname=\"" + name + "\"", "Content-Transfer-Encoding: base64",
                  "Content-Disposition: attachment;", "\tfilename=\"" + name + "\"", ""},
                 base64Lines(bytes)});
}

TEST(SmtpAttachments, WithoutFilesTheMessageIsTheTextThenTheGetDataLinesUnderThePlainType) {
  MailSession<TSmtpCli> s;
  const std::string longLine(2500, 'w');
  TStringList text;
  text.Add("Hello");
  text.Add(".dot");
  text.Add(longLine.c_str());
  s.client.SetMailMessage(text);
  s.rec.body = {"more"};
  const Message m = s.send();
  EXPECT_TRUE(m.hasHeader("Content-Type: text/plain; charset=\"iso-8859-1\""));
  // A line longer than one line request goes on in the next lines.
  EXPECT_EQ(m.body, (Lines{"Hello", "..dot", longLine.substr(0, 1023), longLine.substr(1023, 1023),
                           longLine.substr(2046), "more"}));
  for (const auto& line : concat({m.header, m.body}))
    EXPECT_EQ(line.find("boundary"), std::string::npos) << line;
}

TEST(SmtpAttachments, TwoFilesFollowTheTextAsBase64PartsAndTheBodyEndsWithTheClosingBoundary) {
  MailSession<TSmtpCli> s;
  s.client.MailMessage()->Add("See the files.");
  s.rec.body = {"-- tarn"};
  s.client.SetEmailFiles(listOf({"a.txt", " b.bin ", ""}));
  ASSERT_EQ(s.client.EmailFiles()->Count(), 2);
  const Message m = s.send();
  const std::string boundary = quotedAfter(m.header, "\tboundary=");
  EXPECT_EQ(boundary.rfind("= Multipart Boundary ", 0), 0u) << boundary;
  EXPECT_TRUE(m.hasHeader("Content-Type: multipart/mixed;"));
  EXPECT_FALSE(m.hasHeader("Content-Type: text/plain; charset=\"iso-8859-1\""));
  // b.bin is 108 bytes, a multiple of 54: its base64 ends with an empty line.
  EXPECT_EQ(base64Lines(std::string(108, 'x')).back(), "");
  EXPECT_EQ(m.body,
            concat({{"This is a multipart MIME message.", "", "--" + boundary,
                     "Content-Type: text/plain; charset=\"iso-8859-1\"",
                     "Content-Transfer-Encoding: 7bit", "", "See the files.", "-- tarn", ""},
                    filePart(boundary, "a.txt", std::string(100, 'A')),
                    {""},
                    filePart(boundary, "b.bin", std::string(108, '\x80')),
                    {"", "--" + boundary + "--"}}));
}

TEST(SmtpAttachments, AMissingFileIsRefusedWhenTheListIsSet) {
  writeFile("a.txt", "a");
  TSmtpCli client(nullptr);
  try {
    client.SetEmailFiles(listOf({"a.txt", "gone.txt", "a.txt"}));
    ADD_FAILURE() << "no exception";
  } catch (const SmtpException& e) {
    EXPECT_EQ(e.Message().str(), "File not found 'gone.txt'");
  }
  EXPECT_EQ(client.EmailFiles()->Text().str(), "a.txt\r\n");  // the paths before it stay
}

struct OpenCase {
  const char* name;
  int index;  // the file whose open is answered (once)
  TSmtpBeforeOpenFileAction before;
  TSmtpAfterOpenFileAction after;
  bool removed;      // the file is gone by the time it is sent
  bool handleAfter;  // an OnAfterFileOpen is assigned
  WORD code;
  Lines sent;  // the files that went out
};

TEST(SmtpAttachments, TheOpenEventsSkipRetryOrAbortAFile) {
  const OpenCase cases[] = {
      {"before Next", 0, smtpBeforeOpenFileNext, smtpAfterOpenFileNone, false, true, 0, {"b.bin"}},
      {"after Retry",
       0,
       smtpBeforeOpenFileNone,
       smtpAfterOpenFileRetry,
       false,
       true,
       0,
       {"a.txt", "b.bin"}},
      {"after Next on the last",
       1,
       smtpBeforeOpenFileNone,
       smtpAfterOpenFileNext,
       false,
       true,
       0,
       {"a.txt"}},
      {"failed open, Next",
       0,
       smtpBeforeOpenFileNone,
       smtpAfterOpenFileNext,
       true,
       true,
       0,
       {"b.bin"}},
      {"before Abort", 0, smtpBeforeOpenFileAbort, smtpAfterOpenFileNone, false, true, 10004, {}},
      {"after Abort", 1, smtpBeforeOpenFileNone, smtpAfterOpenFileAbort, false, true, 10004, {}},
      {"failed open, no handler",
       1,
       smtpBeforeOpenFileNone,
       smtpAfterOpenFileNone,
       true,
       false,
       500,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MailSession<TSmtpCli> s;
    std::vector<std::pair<int, bool>> afterCalls;  // index, with an exception
    bool answered = false;
    s.client.OnBeforeFileOpen = [&](TObject*, int idx, const AnsiString&,
                                    TSmtpBeforeOpenFileAction& action) {
      if (idx != c.index || answered || c.before == smtpBeforeOpenFileNone) return;
      action = c.before;
      answered = true;
    };
    if (c.handleAfter)
      s.client.OnAfterFileOpen = [&](TObject*, int idx, const AnsiString&, const Exception* e,
                                     TSmtpAfterOpenFileAction& action) {
        afterCalls.emplace_back(idx, e != nullptr);
        if (idx != c.index || answered || c.after == smtpAfterOpenFileNone) return;
        action = c.after;
        answered = true;
      };
    s.client.SetEmailFiles(listOf({"a.txt", "b.bin"}));
    if (c.removed) std::remove(s.client.EmailFiles()->Strings(c.index).c_str());
    const Message m = s.send(c.code);
    if (c.code != 0) {
      EXPECT_FALSE(s.client.Connected());
      EXPECT_TRUE(pumpUntil([&] { return s.sink.closed(); }));
      EXPECT_TRUE(s.sink.messages().empty());  // the server delivers nothing
      if (c.code == 500) {
        EXPECT_EQ(s.client.ErrorMessage().Pos("500 "), 1);
      }
      continue;
    }
    Lines names;
    for (const auto& line : m.body)
      if (line.rfind("\tfilename=", 0) == 0) names.push_back(line.substr(11, line.size() - 12));
    EXPECT_EQ(names, c.sent);
    EXPECT_EQ(m.body.back(), "--" + quotedAfter(m.header, "\tboundary=") + "--");
    if (c.after == smtpAfterOpenFileRetry) {
      EXPECT_EQ(afterCalls,
                (std::vector<std::pair<int, bool>>{{0, false}, {0, false}, {1, false}}));
    }
    if (c.removed) {
      EXPECT_EQ(afterCalls.front(), (std::pair{c.index, true}));
    }
  }
}

// How many of the process's descriptors are open on the file.
int descriptorsOn(const std::string& name) {
  const auto file = std::filesystem::canonical(name);
  int open = 0;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(fd.path(), error) == file) ++open;
  }
  return open;
}

// An attachment's name and type go into its part's header lines. A file whose own name holds
// a line break is refused before DATA goes out; a name or type with one from
// OnAttachContentType ends the mail with 500, and the dropped connection leaves it undelivered.
template <class Client>
void refusesBrokenPartNames(void (Client::*setFiles)(const TStringList&), const char* list) {
  const std::string evil = "evil\r\nX-Injected=yes.txt";
  {
    MailSession<Client> s;
    writeFile(evil, "x");
    (s.client.*setFiles)(listOf({evil}));
    try {
      s.client.Data();
      ADD_FAILURE() << "not refused";
    } catch (const SmtpException& e) {
      EXPECT_EQ(e.Message().str(), std::string(list) + " contains CR, LF or NUL");
    }
    std::remove(evil.c_str());
  }
  for (const char* refused : {"FileName", "ContentType"}) {
    SCOPED_TRACE(refused);
    MailSession<Client> s;
    (s.client.*setFiles)(listOf({"a.txt"}));
    s.client.OnAttachContentType = [&](TObject*, int, AnsiString& name, AnsiString& type) {
      (std::string(refused) == "FileName" ? name : type) += "\"\nX-Injected: yes";
    };
    s.send(500);
    EXPECT_EQ(s.client.ErrorMessage().str(),
              "500 " + std::string(refused) + " contains CR, LF or NUL");
    EXPECT_TRUE(pumpUntil([&] { return s.sink.closed(); }));
    EXPECT_TRUE(s.sink.messages().empty());
  }
}

TEST(SmtpAttachments, AnAttachmentNameOrTypeWithALineBreakIsRefused) {
  refusesBrokenPartNames<TSmtpCli>(&TSmtpCli::SetEmailFiles, "EmailFiles");
  refusesBrokenPartNames<THtmlSmtpCli>(&THtmlSmtpCli::SetEmailFiles, "EmailFiles");
  refusesBrokenPartNames<THtmlSmtpCli>(&THtmlSmtpCli::SetEmailImages, "EmailImages");
}

TEST(SmtpAttachments, AnAbortWhileAFileIsBeingSentClosesTheFile) {
  MailSession<TSmtpCli> s;
  s.client.OnAttachHeader = [&](TObject*, int, const AnsiString&, TStringList*) {
    EXPECT_EQ(descriptorsOn("a.txt"), 1);
    s.client.Abort();
  };
  s.client.SetEmailFiles(listOf({"a.txt"}));
  s.send(10004);
  EXPECT_EQ(descriptorsOn("a.txt"), 0);
}

// An Abort from OnGetData ends the body there: no attachment is opened after it, and its
// open events are not asked.
TEST(SmtpAttachments, AnAbortFromOnGetDataOpensNoAttachmentAfterIt) {
  MailSession<TSmtpCli> s;
  int opens = 0;
  s.client.OnBeforeFileOpen = [&](TObject*, int, const AnsiString&, TSmtpBeforeOpenFileAction&) {
    ++opens;
  };
  s.client.OnGetData = [&](TObject*, int, char* line, int, bool& more) {
    line[0] = '\0';
    s.client.Abort();
    more = false;
  };
  s.client.SetEmailFiles(listOf({"a.txt"}));
  s.send(10004);
  EXPECT_EQ(opens, 0);
  EXPECT_EQ(descriptorsOn("a.txt"), 0);
}

// --- HTML mail ---

// The two boundaries of an HTML message, read from its header.
struct Boundaries {
  std::string outer, inner;
};

Boundaries boundariesOf(const Message& m) {
  Boundaries b;
  for (const auto& line : m.header) {
    const std::string start =
        "Content-Type: multipart/related; type=\"multipart/alternative\"; "
        "boundary=\"";
    if (line.rfind(start, 0) == 0)
      b.outer = line.substr(start.size(), line.size() - start.size() - 1);
  }
  b.inner = quotedAfter(m.body, "Content-Type: multipart/alternative; boundary=");
  return b;
}

// The lines of an HTML message up to the text of its plain part.
Lines htmlIntro(const Boundaries& b) {
  return {"This is a multipart MIME formatted message.",
          "",
          "--" + b.outer,
          "Content-Type: multipart/alternative; boundary=\"" + b.inner + "\"",
          "",
          "--" + b.inner,
          "Content-Type: text/plain; charset=\"iso-8859-1\"",
          "Content-Transfer-Encoding: quoted-printable",
          ""};
}

Lines htmlPartHeader(const Boundaries& b) {
  return {"", "--" + b.inner, "Content-Type: text/html; charset=\"iso-8859-1\"",
          "Content-Transfer-Encoding: quoted-printable", ""};
}

TEST(SmtpHtmlMail, EmptyTextsGiveTwoEmptyAlternativesAndTheOuterEndFollowsTheInnerOne) {
  MailSession<THtmlSmtpCli> s;
  const Message m = s.send();
  const Boundaries b = boundariesOf(m);
  ASSERT_EQ(b.outer.rfind("----=_NextPart_000_", 0), 0u) << b.outer;
  ASSERT_EQ(b.outer.size(), 38u) << b.outer;
  // One prefix and one random part, "_0." outside and "_1." inside.
  EXPECT_EQ(b.inner, b.outer.substr(0, 27) + "_1." + b.outer.substr(30));
  EXPECT_EQ(b.outer.substr(27, 3), "_0.");
  EXPECT_EQ(m.body, concat({htmlIntro(b),
                            htmlPartHeader(b),
                            {"", "--" + b.inner + "--", "", "--" + b.outer + "--"}}));
}

// Under OwnHeaders no header is made, but the message still has its boundaries: the same
// pair throughout, the one a generated header would carry.
TEST(SmtpHtmlMail, UnderOwnHeadersTheBodyStillHasItsBoundaries) {
  MailSession<THtmlSmtpCli> s;
  s.client.OwnHeaders = true;
  const std::size_t before = s.sink.messages().size();
  s.client.Data();
  ASSERT_EQ(s.rec.next(), (RequestEnd{smtpData, 0})) << s.client.ErrorMessage().str();
  ASSERT_TRUE(pumpUntil([&] { return s.sink.messages().size() > before; }));
  const Lines lines = s.sink.messages().back();
  ASSERT_GE(lines.size(), 3u);
  const Boundaries b{lines[2].substr(2), quotedAfter(lines, "Content-Type: multipart/alternative")};
  EXPECT_EQ(b.outer.rfind("----=_NextPart_000_", 0), 0u) << b.outer;
  EXPECT_EQ(b.inner, b.outer.substr(0, 27) + "_1." + b.outer.substr(30));
  EXPECT_EQ(lines, concat({htmlIntro(b),
                           htmlPartHeader(b),
                           {"", "--" + b.inner + "--", "", "--" + b.outer + "--"}}));
}

// The user's OnGetData sees every line the generator made, with its number, and may change it.
TEST(SmtpHtmlMail, OnGetDataMayChangeEveryGeneratedLine) {
  MailSession<THtmlSmtpCli> s;
  std::vector<int> seen;
  s.client.OnGetData = [&](TObject*, int lineNum, char* line, int maxLen, bool&) {
    seen.push_back(lineNum);
    if (lineNum == 1) std::snprintf(line, static_cast<std::size_t>(maxLen), "Edited intro");
  };
  const Message m = s.send();
  ASSERT_FALSE(m.body.empty());
  EXPECT_EQ(m.body.front(), "Edited intro");
  ASSERT_GE(seen.size(), m.body.size());
  for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], static_cast<int>(i) + 1);
}

// The wire lines of a quoted-printable text, dots unstuffed, decoded.
std::string decodeWire(const Lines& lines) {
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    joined += (i ? "\r\n" : "") + (line.rfind("..", 0) == 0 ? line.substr(1) : line);
  }
  return DecodeQuotedPrintable(joined).str();
}

TEST(SmtpHtmlMail, TextLinesAreQuotedPrintableSoftBrokenAndALongLineGoesOnInTheNextRequests) {
  MailSession<THtmlSmtpCli> s;
  const std::string dotted = std::string(75, 'a') + ".bbbbbbbbbb";
  std::string longLine;
  while (longLine.size() < 3000) longLine += "<p>0123456789</p>";
  const Lines html = {dotted, "x=y", longLine, "."};
  const TStringList htmlText = listOf(html);
  s.client.SetHtmlText(&htmlText);
  const TStringList plainText = listOf({"plain \xE9t\xE9"});
  s.client.SetPlainText(&plainText);
  const Message m = s.send();
  const Boundaries b = boundariesOf(m);
  // The line over 76 characters goes out in one line request, soft-broken, the dot that
  // begins its inner line doubled.
  EXPECT_NE(std::find(s.rec.display.begin(), s.rec.display.end(),
                      "> " + std::string(75, 'a') + "=\r\n..bbbbbbbbbb"),
            s.rec.display.end());
  const Lines intro = htmlIntro(b), htmlHeader = htmlPartHeader(b);
  ASSERT_GT(m.body.size(), intro.size() + htmlHeader.size() + 4);
  EXPECT_EQ(Lines(m.body.begin(), m.body.begin() + intro.size() + 1),
            concat({intro, {"plain =E9t=E9"}}));
  const auto htmlStart = m.body.begin() + intro.size() + 1 + htmlHeader.size();
  const auto htmlEnd = m.body.end() - 4;
  EXPECT_EQ(Lines(htmlEnd, m.body.end()),
            (Lines{"", "--" + b.inner + "--", "", "--" + b.outer + "--"}));
  for (auto line = htmlStart; line != htmlEnd; ++line) EXPECT_LE(line->size(), 76u) << *line;
  std::string want;
  for (const auto& line : html) want += (want.empty() ? "" : "\r\n") + line;
  EXPECT_EQ(decodeWire(Lines(htmlStart, htmlEnd)), want);
}

TEST(SmtpHtmlMail, ImagesComeInlineWithTheirIdsAndFilesAttachedAfterThem) {
  MailSession<THtmlSmtpCli> s;
  writeFile("logo.gif", std::string(60, 'G'));
  s.client.SetEmailImages(listOf({"logo.gif"}));
  s.client.SetEmailFiles(listOf({"a.txt"}));
  std::vector<int> numbered;
  s.client.OnAttachContentType = [&](TObject*, int number, AnsiString& name, AnsiString&) {
    numbered.push_back(number);
    if (name == "a.txt") name = "notes.txt";
  };
  const Message m = s.send();
  const Boundaries b = boundariesOf(m);
  EXPECT_EQ(numbered, (std::vector<int>{1, 2}));
  EXPECT_EQ(
      m.body,
      concat(
          {htmlIntro(b),
           htmlPartHeader(b),
           {"", "--" + b.inner + "--", ""},
           {"--" + b.outer, "Content-Type: " + FilenameToContentType("logo.gif").str() + ";",
            "\tname=\"logo.gif\"", "Content-Transfer-Encoding: base64",
            "Content-Disposition: inline;", "\tfilename=\"logo.gif\"", "Content-ID: <IMAGE1>", ""},
           base64Lines(std::string(60, 'G')),
           {"", "--" + b.outer, "Content-Type: text/plain;", "\tname=\"notes.txt\"",
            "Content-Transfer-Encoding: base64", "Content-Disposition: attachment;",
            "\tfilename=\"notes.txt\"", "X-File-ID: <FILE1>", ""},
           base64Lines(std::string(100, 'A')),
           {"", "--" + b.outer + "--"}}));
}

TEST(SmtpHtmlMail, PlainModeSendsTheTextsUnencodedThenTheFilesAndHtmlModeKeepsItsOwnHeader) {
  MailSession<THtmlSmtpCli> s;
  s.client.SetContentType(smtpPlainText);
  s.client.MailMessage()->Add("Hello");
  const std::string longLine(1500, 'p');
  const TStringList plainText = listOf({"plain \xE9", longLine});
  s.client.SetPlainText(&plainText);
  s.client.SetEmailFiles(listOf({"a.txt"}));
  int asked = 0;  // plain mode sends PlainText, not the lines of OnGetData
  s.client.OnGetData = [&](TObject*, int, char*, int, bool&) { ++asked; };
  const Message plain = s.send();
  EXPECT_EQ(asked, 0);
  const std::string boundary = quotedAfter(plain.header, "\tboundary=");
  EXPECT_EQ(plain.body, concat({{"This is a multipart MIME message.", "", "--" + boundary,
                                 "Content-Type: text/plain; charset=\"iso-8859-1\"",
                                 "Content-Transfer-Encoding: 7bit", "", "Hello", "plain \xE9",
                                 longLine.substr(0, 1022), longLine.substr(1022), ""},
                                filePart(boundary, "a.txt", std::string(100, 'A')),
                                {"", "--" + boundary + "--"}}));

  s.client.SetContentType(smtpHtml);
  s.client.OnGetData = nullptr;
  const Message html = s.send();
  EXPECT_FALSE(boundariesOf(html).outer.empty());
  EXPECT_FALSE(html.hasHeader("Content-Type: multipart/mixed;"));
  EXPECT_NE(std::find(html.body.begin(), html.body.end(), "X-File-ID: <FILE1>"), html.body.end());
}

struct HtmlOpenCase {
  TSmtpAfterOpenFileAction after;
  WORD code;
  Lines partEnd;  // the lines after "Content-ID: <IMAGE1>"
};

TEST(SmtpHtmlMail, AnOpenAnsweredNextLeavesThePartEmptyRetryOpensItAgainAbortEndsTheSession) {
  const std::string image(10, 'G');
  const HtmlOpenCase cases[] = {
      {smtpAfterOpenFileNext, 0, {"", "", "--OUTER--"}},
      {smtpAfterOpenFileRetry, 0, {"", "", Base64Encode(image).str(), "", "--OUTER--"}},
      {smtpAfterOpenFileAbort, 10004, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.after);
    MailSession<THtmlSmtpCli> s;
    writeFile("logo.gif", image);
    s.client.SetEmailImages(listOf({"logo.gif"}));
    int opens = 0;
    s.client.OnAfterFileOpen = [&](TObject*, int idx, const AnsiString&, const Exception*,
                                   TSmtpAfterOpenFileAction& action) {
      EXPECT_EQ(idx, 1);  // the part number
      if (opens++ == 0) action = c.after;
    };
    const Message m = s.send(c.code);
    if (c.code != 0) {
      EXPECT_TRUE(pumpUntil([&] { return s.sink.closed(); }));
      EXPECT_TRUE(s.sink.messages().empty());
      continue;
    }
    const auto id = std::find(m.body.begin(), m.body.end(), "Content-ID: <IMAGE1>");
    ASSERT_NE(id, m.body.end());
    Lines want = c.partEnd;
    want.back() = "--" + boundariesOf(m).outer + "--";
    EXPECT_EQ(Lines(id + 1, m.body.end()), want);
  }
}

}  // namespace
