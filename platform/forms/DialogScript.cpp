#include "forms/DialogScript.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lib/SysUtils.h"

namespace {

struct ScriptLine {
  AnsiString pattern;
  DialogAnswer answer;
  bool used = false;
};

std::optional<DialogAnswer> parseAnswer(const AnsiString& word) {
  if (word.SubString(1, 5) == "Text:") return DialogAnswer{mrOk, word.SubString(6, word.Length())};
  const AnsiString upper = UpperCase(word.Trim());
  for (const DialogButtonInfo& info : kDialogButtons)
    if (upper == UpperCase(info.name)) return DialogAnswer{info.modalResult, AnsiString()};
  return std::nullopt;
}

// The script, read once per script file: each line "<text> => <answer>".
std::vector<ScriptLine>& script() {
  static std::string readFrom;
  static std::vector<ScriptLine> lines;
  const char* path = std::getenv("TARNWICK_DIALOG_SCRIPT");
  const std::string current = path ? path : "";
  if (current != readFrom) {
    readFrom = current;
    lines.clear();
    std::ifstream file(current, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      const std::size_t arrow = line.find(" => ");
      if (arrow == std::string::npos) continue;
      auto answer = parseAnswer(AnsiString(line.substr(arrow + 4)));
      if (!answer) continue;
      lines.push_back({AnsiString(line.substr(0, arrow)), *answer, false});
    }
  }
  return lines;
}

bool matches(const ScriptLine& line, const DialogRequest& request) {
  return line.pattern == "*" || request.text.Pos(line.pattern) > 0;
}

const char* kindName(DialogKind kind) {
  switch (kind) {
    case DialogKind::Message:
      return "message";
    case DialogKind::Input:
      return "input";
    case DialogKind::Exception:
      return "exception";
  }
  return "message";
}

const char* typeName(TMsgDlgType type) {
  switch (type) {
    case mtWarning:
      return "warning";
    case mtError:
      return "error";
    case mtInformation:
      return "information";
    case mtConfirmation:
      return "confirmation";
    case mtCustom:
      return "custom";
  }
  return "custom";
}

const char* buttonName(TMsgDlgBtn button) {
  for (const DialogButtonInfo& info : kDialogButtons)
    if (info.button == button) return info.name;
  return "OK";
}

const char* resultName(int result) {
  for (const DialogButtonInfo& info : kDialogButtons)
    if (info.modalResult == result) return info.name;
  return "None";
}

std::string oneLine(const AnsiString& text) {
  std::string flat;
  for (char c : text.str()) {
    if (c == '\r') continue;
    if (c == '\n')
      flat += "\\n";
    else
      flat += c;
  }
  return flat;
}

}  // namespace

int ModalResultOf(TMsgDlgBtn button) {
  for (const DialogButtonInfo& info : kDialogButtons)
    if (info.button == button) return info.modalResult;
  return mrCancel;
}

bool DialogScriptIsSet() {
  const char* path = std::getenv("TARNWICK_DIALOG_SCRIPT");
  return path && *path;
}

std::optional<DialogAnswer> ScriptedDialogAnswer(const DialogRequest& request) {
  ScriptLine* lastMatch = nullptr;
  for (ScriptLine& line : script()) {
    if (!matches(line, request)) continue;
    if (!line.used) {
      line.used = true;
      return line.answer;
    }
    lastMatch = &line;
  }
  if (lastMatch) return lastMatch->answer;
  return std::nullopt;
}

void LogDialog(const DialogRequest& request, const DialogAnswer& answer) {
  const char* path = std::getenv("TARNWICK_DIALOG_LOG");
  if (!path || !*path) return;
  std::string buttons;
  for (TMsgDlgBtn button : request.buttons) {
    if (!buttons.empty()) buttons += ",";
    buttons += buttonName(button);
  }
  std::string result = resultName(answer.modalResult);
  if (request.kind == DialogKind::Input && answer.modalResult == mrOk)
    result = "Text:" + oneLine(answer.text);
  std::ostringstream line;
  line << kindName(request.kind) << '|' << typeName(request.type) << '|' << buttons << '|'
       << oneLine(request.caption) << '|' << oneLine(request.text) << '|'
       << oneLine(request.defaultValue) << '|' << result << "\r\n";
  std::ofstream log(path, std::ios::binary | std::ios::app);
  log << line.str();
}
