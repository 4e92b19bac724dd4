// Reads a command the way Windows would run it, for the files it runs and
// opens. The text comes from a worm (a shortcut's arguments, an autorun.inf
// line, a Run value), so the reader is written for hostile input: nested
// interpreters are kept on an explicit stack of jobs instead of recursion,
// every job's text is charged against one work budget, and the entries
// returned are capped.
//
// Decisions worth knowing when reading the results:
// - A command run directly by cmd (not through start) that has no extension
//   is Code: cmd runs only programs, searching the usual program extensions.
//   Through start a name without extension is Opened: start opens a folder
//   of that name, which is how a worm shows the user the folder it hid
//   ("start _"); the worm's own program is written with its extension.
// - Program and script extensions (Code): exe com bat cmd vbs vbe js jse wsf
//   wsh ps1 hta msi scr pif cpl dll. A DLL is never a document, so it counts
//   as code wherever it is named.
// - cmd keeps the quotes of a command text that holds exactly two quotes
//   around a blank, without special characters, when the text names an
//   executable file. Nothing is looked up here, so "names an executable" is
//   read as "ends in a program extension".
// - Arguments of the other interpreters are split as the Microsoft C runtime
//   splits them: 2n backslashes before a quote give n and the quote toggles,
//   2n+1 give n and a literal quote, "" inside quotes is a literal quote.
// - PowerShell: -File and every abbreviation of it (-f, -fi, -fil), with
//   "-", "--" or "/"; a -Command text (or a Windows PowerShell positional
//   command) whose first word is a .ps1 script gives that script as Code.
//   pwsh takes a first positional argument as the file, as it does.
// - The command an "if" or a "for" runs is read like any other; "call" and
//   "else" are looked through.
// - rundll32: the DLL, and what Control_RunDLL (a control panel item),
//   ShellExec_RunDLL, FileProtocolHandler, OpenURL and RouteTheCall are given
//   to run. regsvr32: every DLL, and a scriptlet (.sct, .wsc) or program
//   named in /i:. msiexec: the package of /i, /package, /a, /p, /update, /x,
//   /uninstall, /f..., and the DLL of /y and /z; the file of /l (a log) is no
//   code.
// - An entry met twice with the same role is returned once.
#include "scan/command_reader.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

namespace vx::scan {

namespace {

constexpr size_t kMaxEntries = 256;
// Characters of job text a whole read may go through. Each nested
// interpreter copies what is left of its line, so hostile nesting is cut
// here; an ordinary command costs a few hundred characters.
constexpr size_t kWorkBudget = size_t{1} << 20;

enum class Host { None, Cmd, ScriptHost, Mshta, Rundll32, Regsvr32, Msiexec, PowerShell, Pwsh, Explorer };

char lowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lowerChar(c);
    return out;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (lowerChar(s[i]) != prefix[i]) return false;
    return true;
}

bool endsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && startsWithNoCase(s.substr(s.size() - suffix.size()), suffix);
}

// True when `abbrev` (lower case, not empty) is the start of `word`.
bool abbreviates(std::string_view abbrev, std::string_view word) {
    return !abbrev.empty() && abbrev.size() <= word.size() && word.substr(0, abbrev.size()) == abbrev;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The file-name part: after the last "\", "/" or ":".
std::string_view namePart(std::string_view path) {
    const size_t cut = path.find_last_of("\\/:");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// The extension in lower case, "" when the name has none.
std::string extensionOf(std::string_view path) {
    const std::string_view name = namePart(path);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    return lower(name.substr(dot + 1));
}

template <size_t N>
bool isOneOf(std::string_view s, const std::array<std::string_view, N>& list) {
    for (std::string_view item : list)
        if (s == item) return true;
    return false;
}

constexpr std::array<std::string_view, 16> kCodeExtensions = {"exe", "com", "bat", "cmd", "vbs", "vbe", "js",  "jse",
                                                              "wsf", "wsh", "ps1", "hta", "msi", "scr", "pif", "cpl"};

bool isCodeExtension(const std::string& ext) { return ext == "dll" || isOneOf(ext, kCodeExtensions); }

// The extensions cmd finds a program by (its default search list).
constexpr std::array<std::string_view, 11> kExecutableExtensions = {"exe", "com", "bat", "cmd", "vbs", "vbe",
                                                                    "js",  "jse", "wsf", "wsh", "msc"};

constexpr std::array<std::string_view, 45> kBuiltins = {
    "echo",   "set",   "cd",     "chdir", "if",    "for",      "rem",      "type",  "copy",
    "del",    "erase", "attrib", "move",  "ren",   "rename",   "md",       "mkdir", "rd",
    "rmdir",  "exit",  "pushd",  "popd",  "call",  "cls",      "title",    "color", "ver",
    "vol",    "path",  "prompt", "goto",  "shift", "setlocal", "endlocal", "pause", "verify",
    "mklink", "assoc", "ftype",  "dir",   "break", "date",     "time",     "start", "dpath"};

// Texts that name no file: URLs, script URLs and shell namespaces.
bool namesNoFile(std::string_view text) {
    static constexpr std::array<std::string_view, 14> kSchemes = {
        "http:", "https:", "ftp:",   "javascript:", "vbscript:", "about:", "mailto:",
        "file:", "res:",   "shell:", "mk:",         "ms-its:",   "its:",   "ms-settings:"};
    for (std::string_view scheme : kSchemes)
        if (startsWithNoCase(text, scheme)) return true;
    return text.substr(0, 2) == "::";
}

Host hostOf(std::string_view program) {
    program = trimmed(program);
    if (program.size() >= 2 && program.front() == '"' && program.back() == '"')
        program = trimmed(program.substr(1, program.size() - 2));
    std::string name = lower(namePart(program));
    if (name == "%comspec%") return Host::Cmd;
    if (endsWithNoCase(name, ".exe")) name.resize(name.size() - 4);
    if (name == "cmd") return Host::Cmd;
    if (name == "wscript" || name == "cscript") return Host::ScriptHost;
    if (name == "mshta") return Host::Mshta;
    if (name == "rundll32") return Host::Rundll32;
    if (name == "regsvr32") return Host::Regsvr32;
    if (name == "msiexec") return Host::Msiexec;
    if (name == "powershell") return Host::PowerShell;
    if (name == "pwsh") return Host::Pwsh;
    if (name == "explorer") return Host::Explorer;
    return Host::None;
}

// Splits arguments one at a time as the C runtime builds argv.
class ArgReader {
public:
    explicit ArgReader(std::string_view text) : s_(text) {}

    bool next(std::string& out) {
        out.clear();
        while (i_ < s_.size() && isBlank(s_[i_])) ++i_;
        if (i_ >= s_.size()) return false;
        bool quoted = false;
        while (i_ < s_.size()) {
            const char c = s_[i_];
            if (!quoted && isBlank(c)) break;
            if (c == '\\') {
                size_t n = 0;
                while (i_ < s_.size() && s_[i_] == '\\') ++n, ++i_;
                if (i_ < s_.size() && s_[i_] == '"') {
                    out.append(n / 2, '\\');
                    if (n % 2 == 1) out += '"', ++i_;
                } else {
                    out.append(n, '\\');
                }
            } else if (c == '"') {
                if (quoted && i_ + 1 < s_.size() && s_[i_ + 1] == '"') {
                    out += '"';
                    i_ += 2;
                } else {
                    quoted = !quoted;
                    ++i_;
                }
            } else {
                out += c;
                ++i_;
            }
        }
        return true;
    }

    // What is left after the arguments read so far.
    std::string_view rest() const { return s_.substr(i_); }

private:
    std::string_view s_;
    size_t i_ = 0;
};

// One command of a cmd chain, as cmd takes it apart: its words (quotes and
// carets removed), the text it passes on to the program it runs (carets and
// redirections removed, quotes kept) and the file it reads its input from.
struct Word {
    size_t start = 0;  // offsets in `cleaned`, quotes included
    size_t end = 0;
    bool quoted = false;
};

struct ParsedCommand {
    std::string cleaned;
    std::vector<Word> words;
    std::string input;
    bool hasInput = false;

    // The word as written in the cleaned text (its value when unquoted).
    std::string_view raw(size_t k) const {
        return std::string_view(cleaned).substr(words[k].start, words[k].end - words[k].start);
    }
    std::string value(size_t k) const {
        std::string out;
        for (char c : raw(k))
            if (c != '"') out += c;
        return out;
    }
};

// Reads a redirection target (a word, quotes allowed) starting at `i`.
std::string readTarget(std::string_view t, size_t& i) {
    while (i < t.size() && isBlank(t[i])) ++i;
    std::string out;
    bool quoted = false;
    while (i < t.size()) {
        const char c = t[i];
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                out += c;
            ++i;
            continue;
        }
        if (isBlank(c) || c == '<' || c == '>') break;
        if (c == '"') {
            quoted = true;
        } else if (c == '^') {
            if (i + 1 < t.size()) out += t[++i];
        } else {
            out += c;
        }
        ++i;
    }
    return out;
}

ParsedCommand parseCommand(std::string_view t) {
    ParsedCommand pc;
    pc.cleaned.reserve(t.size());
    bool inWord = false;
    bool quoted = false;
    auto begin = [&] {
        if (inWord) return;
        pc.words.push_back(Word{pc.cleaned.size(), pc.cleaned.size(), false});
        inWord = true;
    };
    auto end = [&] {
        if (inWord) pc.words.back().end = pc.cleaned.size();
        inWord = false;
    };
    size_t i = 0;
    while (i < t.size()) {
        const char c = t[i];
        if (quoted) {
            pc.cleaned += c;
            if (c == '"') quoted = false;
            ++i;
            continue;
        }
        if (isBlank(c)) {
            end();
            pc.cleaned += c;
            ++i;
        } else if (c == '^') {
            if (i + 1 < t.size()) {
                begin();
                pc.cleaned += t[i + 1];
            }
            i += 2;
        } else if (c == '"') {
            begin();
            quoted = true;
            pc.words.back().quoted = true;
            pc.cleaned += c;
            ++i;
        } else if (c == '<' || c == '>') {
            // A lone digit glued before the operator is the handle redirected.
            if (inWord && !pc.words.back().quoted && pc.words.back().start + 1 == pc.cleaned.size() &&
                isDigit(pc.cleaned.back())) {
                pc.words.pop_back();
                pc.cleaned.pop_back();
                inWord = false;
            }
            end();
            const bool reads = c == '<';
            ++i;
            if (!reads && i < t.size() && t[i] == '>') ++i;
            if (i < t.size() && t[i] == '&') {  // onto another handle: no file
                ++i;
                while (i < t.size() && isDigit(t[i])) ++i;
            } else {
                std::string target = readTarget(t, i);
                if (reads) {
                    pc.input = std::move(target);
                    pc.hasInput = true;
                }
            }
            pc.cleaned += ' ';
        } else {
            begin();
            pc.cleaned += c;
            ++i;
        }
    }
    end();
    return pc;
}

struct Piece {
    std::string text;
    bool pipedIn = false;  // joined to the command before by "|"
};

bool isRemAt(std::string_view t, size_t i) {
    if (!startsWithNoCase(t.substr(i), "rem")) return false;
    return i + 3 == t.size() || isBlank(t[i + 3]) || t[i + 3] == '/';
}

// Splits a command text into its commands at "&", "&&", "|", "||" and line
// ends outside quotes ("^" escapes the next character). Blocks in
// parentheses are flattened; a "rem" or "::" command ends the text.
std::vector<Piece> splitChain(std::string_view t) {
    std::vector<Piece> pieces;
    std::string cur;
    bool pipedIn = false;
    bool atStart = true;
    bool quoted = false;
    int depth = 0;
    auto finish = [&](bool pipeNext) {
        if (!trimmed(cur).empty()) pieces.push_back(Piece{std::move(cur), pipedIn});
        cur.clear();
        pipedIn = pipeNext;
        atStart = true;
    };
    size_t i = 0;
    while (i < t.size()) {
        const char c = t[i];
        if (atStart) {
            if (isBlank(c) || c == '@' || c == '(') {
                if (c == '(') ++depth;
                ++i;
                continue;
            }
            if (isRemAt(t, i) || t.substr(i, 2) == "::") break;
            atStart = false;
        }
        if (quoted) {
            cur += c;
            if (c == '"') quoted = false;
            ++i;
            continue;
        }
        switch (c) {
            case '"':
                quoted = true;
                cur += c;
                break;
            case '^':
                cur += c;
                if (i + 1 < t.size()) cur += t[++i];
                break;
            case '<':
            case '>':
                cur += c;
                if (c == '>' && i + 1 < t.size() && t[i + 1] == '>') cur += t[++i];
                if (i + 1 < t.size() && t[i + 1] == '&') cur += t[++i];
                break;
            case '&':
                if (i + 1 < t.size() && t[i + 1] == '&') ++i;
                finish(false);
                break;
            case '|': {
                const bool pipe = !(i + 1 < t.size() && t[i + 1] == '|');
                if (!pipe) ++i;
                finish(pipe);
                break;
            }
            case '\n':
                finish(false);
                break;
            case ')':
                if (depth > 0) {
                    --depth;
                    finish(false);
                } else {
                    cur += c;
                }
                break;
            default:
                cur += c;
        }
        ++i;
    }
    finish(false);
    return pieces;
}

// cmd's rule for the quotes of the text after /c, /k or /r (blanks before
// it already skipped): true when its first and its last quote are removed.
bool cmdStripsQuotes(std::string_view text, bool stripAlways) {
    if (text.empty() || text.front() != '"') return false;
    if (stripAlways) return true;
    const size_t close = text.find('"', 1);
    if (close == std::string_view::npos || text.find('"', close + 1) != std::string_view::npos) return true;
    const std::string_view inside = text.substr(1, close - 1);
    const bool special = inside.find_first_of("&<>()@^|") != std::string_view::npos;
    const bool blank = inside.find_first_of(" \t") != std::string_view::npos;
    return special || !blank || !isOneOf(extensionOf(inside), kExecutableExtensions);
}

struct Job {
    Host host = Host::None;  // None: one command of a cmd chain
    std::string text;
    std::string input;     // for cmd: the file its input comes from
    bool pipedIn = false;  // chain command: joined to the one before by "|"
    bool only = false;     // chain command: the chain's only command
};

class Reader {
public:
    std::vector<CommandFile> out;

    void add(std::string path, RunRole role) {
        if (path.empty() || full()) return;
        for (const auto& f : out)
            if (f.role == role && f.path == path) return;
        out.push_back(CommandFile{std::move(path), role});
    }

    void push(Job job) { stack_.push_back(std::move(job)); }

    void run() {
        while (!stack_.empty() && !full() && spent_ <= kWorkBudget) {
            Job job = std::move(stack_.back());
            stack_.pop_back();
            spent_ += job.text.size() + job.input.size() + 1;
            switch (job.host) {
                case Host::None:
                    readChainCommand(job);
                    break;
                case Host::Cmd:
                    readCmd(job);
                    break;
                case Host::ScriptHost:
                    readScriptHost(job.text);
                    break;
                case Host::Mshta:
                    readMshta(job.text);
                    break;
                case Host::Rundll32:
                    readRundll32(job.text);
                    break;
                case Host::Regsvr32:
                    readRegsvr32(job.text);
                    break;
                case Host::Msiexec:
                    readMsiexec(job.text);
                    break;
                case Host::PowerShell:
                    readPowerShell(job.text, false);
                    break;
                case Host::Pwsh:
                    readPowerShell(job.text, true);
                    break;
                case Host::Explorer:
                    readExplorer(job.text);
                    break;
            }
        }
    }

    void readExplorer(std::string_view args) {
        ArgReader a(args);
        std::string t;
        while (a.next(t)) {
            std::string_view rest = t;
            while (!rest.empty() && rest.front() == ',') rest.remove_prefix(1);
            // Options run to the next comma; /root and /select take the rest.
            while (!rest.empty() && rest.front() == '/') {
                const size_t comma = rest.find(',');
                const std::string option = lower(rest.substr(0, comma));
                rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
                if (option == "/root" || option == "/select") break;
            }
            if (!rest.empty() && !namesNoFile(rest)) add(std::string(rest), RunRole::Opened);
        }
    }

private:
    std::vector<Job> stack_;
    size_t spent_ = 0;
    std::string lastTypeFile_;  // the file of the last command when it was "type x"

    bool full() const { return out.size() >= kMaxEntries; }

    // A program run by a chain or by start: code or a document by its name.
    void addRun(const std::string& program, bool throughStart) {
        if (namesNoFile(program)) return;
        const std::string_view name = namePart(program);
        const std::string ext = extensionOf(program);
        if (name.empty()) {
            add(program, RunRole::Opened);
        } else if (ext.empty()) {
            add(program, throughStart ? RunRole::Opened : RunRole::Code);
        } else {
            add(program, isCodeExtension(ext) ? RunRole::Code : RunRole::Opened);
        }
    }

    void readCmd(const Job& job) {
        std::string_view t = job.text;
        char mode = 0;
        bool stripAlways = false;
        std::string ownInput;
        std::string_view command;
        size_t i = 0;
        while (i < t.size()) {
            while (i < t.size() && isBlank(t[i])) ++i;
            if (i >= t.size()) break;
            if (t[i] == '/') {
                ++i;
                if (i >= t.size()) break;
                const char s = lowerChar(t[i]);
                if (s == 'c' || s == 'k' || s == 'r') {
                    mode = s;
                    command = t.substr(i + 1);
                    break;
                }
                if (s == 's') stripAlways = true;
                while (i < t.size() && !isBlank(t[i]) && t[i] != '/') ++i;
            } else if (t[i] == '<') {
                ++i;
                ownInput = readTarget(t, i);
            } else {
                bool quoted = false;
                while (i < t.size() && (quoted || !isBlank(t[i]))) {
                    if (t[i] == '"') quoted = !quoted;
                    ++i;
                }
            }
        }
        // Without /c or /r cmd reads its commands from its input (after the
        // command of /k).
        if (mode == 0 || mode == 'k') {
            add(job.input, RunRole::Code);
            add(ownInput, RunRole::Code);
        }
        if (mode == 0) return;

        // cmd's quote rule: a text starting with a quote loses that quote
        // and the last one, unless it is one quoted program name.
        while (!command.empty() && isBlank(command.front())) command.remove_prefix(1);
        std::string text(command);
        if (cmdStripsQuotes(command, stripAlways)) {
            text.erase(0, 1);
            const size_t last = text.rfind('"');
            if (last != std::string::npos) text.erase(last, 1);
        }
        pushChain(text);
    }

    void pushChain(std::string_view text) {
        std::vector<Piece> pieces = splitChain(text);
        const bool only = pieces.size() == 1;
        for (size_t k = pieces.size(); k-- > 0;)
            push(Job{Host::None, std::move(pieces[k].text), {}, pieces[k].pipedIn, only});
    }

    // The index of the first word of the command an "if" runs, or the end.
    static size_t ifBody(const ParsedCommand& pc, size_t k) {
        static constexpr std::array<std::string_view, 6> kCompare = {"equ", "neq", "lss", "leq", "gtr", "geq"};
        static constexpr std::array<std::string_view, 4> kTests = {"exist", "defined", "errorlevel", "cmdextversion"};
        const size_t n = pc.words.size();
        size_t j = k + 1;
        if (j < n && lower(pc.raw(j)) == "/i") ++j;
        if (j < n && lower(pc.raw(j)) == "not") ++j;
        if (j >= n) return n;
        const std::string_view w = pc.raw(j);
        if (isOneOf(lower(w), kTests)) return j + 2;
        if (w.find("==") != std::string_view::npos) return w.substr(w.size() - 2) == "==" ? j + 2 : j + 1;
        if (j + 1 < n && pc.raw(j + 1).substr(0, 2) == "==") return pc.raw(j + 1).size() == 2 ? j + 3 : j + 2;
        if (j + 1 < n && isOneOf(lower(pc.raw(j + 1)), kCompare)) return j + 3;
        return n;
    }

    // Splits word `k` at offset `at` of its value (an unquoted word).
    static void splitWord(ParsedCommand& pc, size_t k, size_t at) {
        Word tail{pc.words[k].start + at, pc.words[k].end, false};
        pc.words[k].end = tail.start;
        pc.words.insert(pc.words.begin() + static_cast<std::ptrdiff_t>(k) + 1, std::move(tail));
    }

    // A built-in name glued to what follows ("echo.", "cd..", "start/min",
    // "call:x") is split off; so is an interpreter glued to its switches
    // ("cmd/c").
    static std::string commandName(ParsedCommand& pc, size_t k) {
        if (pc.words[k].quoted) return lower(pc.value(k));
        const std::string_view w = pc.raw(k);
        const size_t slash = w.find('/');
        if (slash != std::string_view::npos && slash > 0) {
            const Host host = hostOf(w.substr(0, slash));
            if (host != Host::None && host != Host::Explorer) {
                splitWord(pc, k, slash);
                return lower(pc.raw(k));
            }
        }
        const size_t cut = w.find_first_of("./(:;,=+[");
        if (cut != std::string_view::npos && cut > 0) {
            const std::string head = lower(w.substr(0, cut));
            if (isOneOf(head, kBuiltins)) {
                splitWord(pc, k, cut);
                return head;
            }
        }
        return lower(w);
    }

    void readChainCommand(const Job& job) {
        ParsedCommand pc = parseCommand(job.text);
        const std::string piped = job.pipedIn ? std::move(lastTypeFile_) : std::string{};
        lastTypeFile_.clear();
        if (pc.words.empty()) {
            // The chain is only "< file": cmd reads the file as its commands.
            if (pc.hasInput && job.only) add(pc.input, RunRole::Code);
            return;
        }
        size_t k = 0;
        std::string name = commandName(pc, k);
        while ((name == "call" || name == "else") && !pc.words[k].quoted) {
            if (++k >= pc.words.size()) return;
            name = commandName(pc, k);
        }
        if (pc.raw(k).front() == '(') {  // a block after "else"
            pushChain(std::string_view(pc.cleaned).substr(pc.words[k].start));
            return;
        }
        // The command of an "if" or a "for" is read as a chain of its own
        // (it may be a block in parentheses).
        if ((name == "if" || name == "for") && !pc.words[k].quoted) {
            size_t body = pc.words.size();
            if (name == "if") {
                body = ifBody(pc, k);
            } else {
                for (size_t j = k + 2; j < pc.words.size(); ++j)
                    if (!pc.words[j].quoted && lower(pc.raw(j)) == "do") {
                        body = j + 1;
                        break;
                    }
            }
            if (body < pc.words.size()) pushChain(std::string_view(pc.cleaned).substr(pc.words[body].start));
            return;
        }
        bool throughStart = false;
        if (name == "start" && !pc.words[k].quoted) {
            throughStart = true;
            size_t j = k + 1;
            if (j < pc.words.size() && pc.words[j].quoted && pc.cleaned[pc.words[j].start] == '"') ++j;  // title
            while (j < pc.words.size() && !pc.words[j].quoted && pc.raw(j).substr(0, 1) == "/") {
                const std::string option = lower(pc.raw(j));
                j += option == "/d" || option == "/node" || option == "/affinity" ? 2 : 1;
            }
            if (j >= pc.words.size()) return;
            k = j;
        }
        const std::string program = pc.value(k);
        if (program.empty()) return;
        const std::string args = k + 1 < pc.words.size() ? pc.cleaned.substr(pc.words[k + 1].start) : std::string{};
        const Host host = hostOf(program);
        if (host != Host::None) {
            Job nested{host, args, {}, false, false};
            if (host == Host::Cmd) nested.input = pc.hasInput ? pc.input : piped;
            push(std::move(nested));
            return;
        }
        if (!throughStart) {
            if (isOneOf(name, kBuiltins)) {
                if (name == "type" && k + 1 < pc.words.size()) lastTypeFile_ = pc.value(k + 1);
                return;
            }
            // A drive change ("E:") or a label runs nothing.
            if (program.front() == ':' || (program.size() == 2 && program[1] == ':')) return;
        }
        addRun(program, throughStart);
    }

    void readScriptHost(std::string_view args) {
        ArgReader a(args);
        std::string t;
        while (a.next(t)) {
            if (t.substr(0, 2) == "//") continue;
            add(t, RunRole::Code);
            return;
        }
    }

    void readMshta(std::string_view args) {
        ArgReader a(args);
        std::string t;
        if (a.next(t) && !namesNoFile(t)) add(t, RunRole::Code);
    }

    void readRundll32(std::string_view args) {
        size_t i = 0;
        while (i < args.size() && isBlank(args[i])) ++i;
        std::string_view rest = args.substr(i);
        if (namesNoFile(rest) || (!rest.empty() && rest[0] == '"' && namesNoFile(rest.substr(1)))) return;
        std::string_view dll;
        if (!rest.empty() && rest[0] == '"') {
            const size_t close = rest.find('"', 1);
            dll = rest.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            rest = close == std::string_view::npos ? std::string_view{} : rest.substr(close + 1);
        } else {
            const size_t end = rest.find_first_of(", \t\r\n");
            dll = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
        }
        add(std::string(dll), RunRole::Code);
        // The entry point, then what it is given.
        while (!rest.empty() && (isBlank(rest.front()) || rest.front() == ',')) rest.remove_prefix(1);
        const size_t end = rest.find_first_of(" \t\r\n");
        const std::string entry = lower(rest.substr(0, end));
        ArgReader a(end == std::string_view::npos ? std::string_view{} : rest.substr(end));
        std::string t;
        if (!a.next(t)) return;
        if (entry == "control_rundll" || entry == "control_rundllasuser") {
            add(t.substr(0, t.find(',')), RunRole::Code);
        } else if (entry == "shellexec_rundll" || entry == "shellexec_rundlla" || entry == "shellexec_rundllw" ||
                   entry == "fileprotocolhandler" || entry == "openurl" || entry == "routethecall") {
            addRun(t, true);
        }
    }

    void readRegsvr32(std::string_view args) {
        ArgReader a(args);
        std::string t;
        while (a.next(t)) {
            if (t.empty()) continue;
            if (t[0] == '/' || t[0] == '-') {
                // /i:text goes to the DLL's install entry; a scriptlet named
                // there is run by it.
                if (t.size() > 3 && lowerChar(t[1]) == 'i' && t[2] == ':') {
                    const std::string text = t.substr(3);
                    const std::string ext = extensionOf(text);
                    if (!namesNoFile(text) && (ext == "sct" || ext == "wsc" || isCodeExtension(ext)))
                        add(text, RunRole::Code);
                }
                continue;
            }
            add(t, RunRole::Code);
        }
    }

    void readMsiexec(std::string_view args) {
        static constexpr std::array<std::string_view, 9> kPackageOptions = {"i", "package",   "a", "p", "update",
                                                                            "x", "uninstall", "y", "z"};
        ArgReader a(args);
        std::string t;
        while (a.next(t)) {
            if (t.size() < 2 || (t[0] != '/' && t[0] != '-')) continue;
            const std::string option = lower(std::string_view(t).substr(1));
            const bool repair = option[0] == 'f' && option.find_first_not_of("fpoecmusav") == std::string::npos;
            if (!repair && !isOneOf(option, kPackageOptions)) continue;
            if (!a.next(t)) return;
            if (!namesNoFile(t) && !t.empty() && t[0] != '{') add(t, RunRole::Code);
        }
    }

    // The first word of a PowerShell command text, when it is a script.
    void readPowerShellCommand(std::string_view text) {
        text = trimmed(text);
        while (!text.empty() && (text.front() == '&' || text.front() == '.' || isBlank(text.front()))) {
            if (text.front() == '.' && text.size() > 1 && (text[1] == '\\' || text[1] == '/')) break;
            text.remove_prefix(1);
        }
        std::string_view word;
        if (!text.empty() && (text.front() == '\'' || text.front() == '"')) {
            const size_t close = text.find(text.front(), 1);
            word = text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        } else {
            word = text.substr(0, text.find_first_of(" \t\r\n;"));
        }
        if (extensionOf(word) == "ps1") add(std::string(word), RunRole::Code);
    }

    void readPowerShell(std::string_view args, bool pwsh) {
        ArgReader a(args);
        std::string t;
        while (a.next(t)) {
            if (t.empty()) continue;
            if (t[0] != '-' && t[0] != '/') {
                if (pwsh)
                    add(t, RunRole::Code);
                else
                    readPowerShellCommand(std::string(t) + std::string(a.rest()));
                return;
            }
            std::string name = lower(std::string_view(t).substr(t.size() > 1 && t[1] == '-' ? 2 : 1));
            name = name.substr(0, name.find(':'));
            if (name.empty()) continue;
            if (abbreviates(name, "file")) {
                if (a.next(t)) add(t, RunRole::Code);
                return;
            }
            if (abbreviates(name, "command") && !abbreviates("con", name)) {
                std::string first;
                if (a.next(first)) readPowerShellCommand(first + std::string(a.rest()));
                return;
            }
            const bool valued = (name.size() >= 2 && abbreviates(name, "executionpolicy")) || name == "ep" ||
                                name == "ea" || abbreviates(name, "windowstyle") || abbreviates(name, "version") ||
                                abbreviates(name, "inputformat") || abbreviates(name, "outputformat") ||
                                (name.size() >= 3 && abbreviates(name, "configurationname")) ||
                                (name.size() >= 2 && abbreviates(name, "psconsolefile")) ||
                                (name.size() >= 2 && abbreviates(name, "workingdirectory")) || name == "wd" ||
                                (name.size() >= 2 && abbreviates(name, "settingsfile")) ||
                                (name.size() >= 2 && abbreviates(name, "custompipename"));
            if (valued) {
                a.next(t);
                continue;
            }
            if (abbreviates(name, "encodedcommand") || name == "ec") return;  // no file named
        }
    }
};

}  // namespace

bool isInterpreter(const std::string& program) {
    const Host host = hostOf(program);
    return host != Host::None && host != Host::Explorer;
}

std::vector<CommandFile> readCommand(const std::string& program, const std::string& arguments) {
    std::string_view name = trimmed(program);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = trimmed(name.substr(1, name.size() - 2));
    Reader reader;
    if (name.empty()) return {};
    const Host host = hostOf(name);
    if (host == Host::None || host == Host::Explorer) {
        reader.add(std::string(name), RunRole::Program);
        if (host == Host::Explorer) reader.readExplorer(arguments);
        return std::move(reader.out);
    }
    reader.push(Job{host, arguments, {}, false, false});
    reader.run();
    return std::move(reader.out);
}

std::vector<CommandFile> readCommandLine(const std::string& line) {
    std::string_view s = line;
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    if (s.empty()) return {};
    std::string_view program;
    std::string_view rest;
    if (s.front() == '"') {
        const size_t close = s.find('"', 1);
        program = s.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        rest = close == std::string_view::npos ? std::string_view{} : s.substr(close + 1);
    } else {
        size_t end = s.find_first_of(" \t\r\n");
        program = s.substr(0, end);
        // An unquoted program path with blanks ("C:\Program Files\x\y.exe a"):
        // Windows tries each blank in turn until a file exists. Without a
        // disk, the first blank is taken unless the first word is a folder
        // path without extension and a later word, before any option,
        // completes it to a program name.
        if (end != std::string_view::npos && program.find('\\') != std::string_view::npos &&
            extensionOf(program).empty() && hostOf(program) == Host::None) {
            size_t at = end;
            while (at < s.size()) {
                size_t next = at;
                while (next < s.size() && isBlank(s[next])) ++next;
                if (next >= s.size() || s[next] == '/' || s[next] == '-' || s[next] == '"') break;
                const size_t wordEnd = std::min(s.find_first_of(" \t\r\n", next), s.size());
                const std::string_view word = s.substr(next, wordEnd - next);
                if (word.find(':') != std::string_view::npos) break;
                const std::string ext = extensionOf(word);
                if (ext == "exe" || ext == "com" || ext == "bat" || ext == "cmd" || ext == "pif" || ext == "scr") {
                    end = wordEnd;
                    program = s.substr(0, end);
                    break;
                }
                at = wordEnd;
            }
        }
        rest = end == std::string_view::npos ? std::string_view{} : s.substr(end);
    }
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    return readCommand(std::string(program), std::string(rest));
}

}  // namespace vx::scan
