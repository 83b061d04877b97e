#pragma once
// MIME helpers for mail and authentication: base64 of texts and of files line by line,
// quoted-printable, the SMTP dot escape and content types. No socket or session types.
#include <memory>

#include "lib/AnsiString.h"
#include "lib/Streams.h"

// Base64 (alphabet A-Z a-z 0-9 + /), "=" padded, on one line.
AnsiString Base64Encode(const AnsiString& Input);
// Groups of 4 characters; nothing is skipped or reported: a character outside the alphabet
// contributes all-one bits. A final group of 2 or 3 characters gives 1 or 2 bytes.
AnsiString Base64Decode(const AnsiString& Input);

// "=", control characters and bytes above 126 as "=XY"; one line, blanks kept.
AnsiString EncodeQuotedPrintable(const AnsiString& S);
// "=XY" gives the byte XY (EConvertError when XY is no hex number), "=" CR and the next
// character are a soft line break.
AnsiString DecodeQuotedPrintable(const AnsiString& S);
// Cuts an encoded text longer than 76 characters into lines of at most 76 characters, each
// but the last ended by "=" CR LF, never inside an "=XY" escape.
AnsiString SplitQuotedPrintableString(const AnsiString& S);

// SMTP data transparency: a "." at the start of the text or after CR LF is doubled.
void DotEscape(AnsiString& S);

// The content type of a file name's extension, "application/octet-stream" when unknown.
AnsiString FilenameToContentType(const AnsiString& FileName);

// Base64 of a file, one line at a time, so that the file is never held in memory whole.
// InitFileEncBase64 opens the file read-only with the given share flags (EFOpenError when it
// cannot); DoFileEncBase64 gives the next line of at most 72 characters (no CR LF) and sets
// More while the file may hold more; EndFileEncBase64 frees the stream and empties it.
std::unique_ptr<TStream> InitFileEncBase64(const AnsiString& FileName, unsigned short ShareMode);
AnsiString DoFileEncBase64(std::unique_ptr<TStream>& Stream, bool& More);
void EndFileEncBase64(std::unique_ptr<TStream>& Stream);
