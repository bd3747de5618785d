#include "ProtocolCompiler.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace protocol {
namespace {

namespace fs = std::filesystem;

// Thrown at the first error; caught once in Compile.
struct Failure {
    std::string message;
    int line, column;
};

std::string Lower(std::string s) {
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

bool IsReserved(const std::string &word) {
    static const std::set<std::string> kWords = {
        "include", "line",  "const",  "var",   "bytes",  "at",   "every",  "lin",   "log",
        "from",    "to",    "and",    "after", "before", "on",   "off",    "pulse", "for",
        "sample",  "macro", "repeat", "times", "quick",  "code", "record", "burst", "unrecorded",
        "mark",    "word",  "long",   "s",     "ms",     "us",   "ns"};
    return kWords.count(Lower(word)) != 0;
}

// Seconds per unit, 0 when word is no unit. "us" also stands for "µs" (the
// lexer maps the micro sign to "us").
long double UnitScale(const std::string &word) {
    const std::string w = Lower(word);
    if (w == "s")
        return 1.0L;
    if (w == "ms")
        return 1e-3L;
    if (w == "us")
        return 1e-6L;
    if (w == "ns")
        return 1e-9L;
    return 0;
}

enum class Tok { Name, Number, String, Punct, End };

struct Token {
    Tok kind = Tok::End;
    std::string text; // name, punctuation or the number's spelling
    long double number = 0;
    std::string bytes; // string content
    int line = 0, column = 0;
};

bool IsNameStart(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsNameChar(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
int HexValue(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string Printable(unsigned char c) {
    if (c >= 0x20 && c < 0x7F)
        return std::string(1, char(c));
    static const char *kHex = "0123456789ABCDEF";
    return std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
}

// Splits one physical line into tokens; the comment, if any, is dropped.
class Lexer {
public:
    Lexer(const std::string &text, int line) : m_s(text), m_line(line) {}

    void Run(std::vector<Token> &out) {
        while (true) {
            SkipBlanks();
            if (m_pos >= m_s.size())
                return;
            const unsigned char c = Cur();
            if (c == '#' || (c == '/' && Peek(1) == '/'))
                return;
            Token t;
            t.line = m_line;
            t.column = Column(m_pos);
            if (IsNameStart(c)) {
                const size_t b = m_pos;
                while (m_pos < m_s.size() && IsNameChar(Cur()))
                    ++m_pos;
                t.kind = Tok::Name;
                t.text = m_s.substr(b, m_pos - b);
            } else if (IsMicro()) {
                // "µs": the micro sign (U+00B5) or Greek mu (U+03BC) then s.
                m_pos += 2;
                const size_t b = m_pos;
                while (m_pos < m_s.size() && IsNameChar(Cur()))
                    ++m_pos;
                t.kind = Tok::Name;
                const std::string rest = m_s.substr(b, m_pos - b);
                if (Lower(rest) != "s")
                    Fail("Invalid character '" + m_s.substr(b - 2, 2) + "'", t.column);
                t.text = "us";
            } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
                LexNumber(t);
            } else if (c == '"') {
                LexString(t);
            } else if (c == '\'' && m_pos > 0 &&
                       (IsNameChar(static_cast<unsigned char>(m_s[m_pos - 1])) || m_s[m_pos - 1] == '\'')) {
                // A prime right after a name belongs to a mark name (Fm').
                t.kind = Tok::Punct;
                t.text = "'";
                ++m_pos;
            } else if (std::string("=,+-*/()\\").find(char(c)) != std::string::npos) {
                t.kind = Tok::Punct;
                t.text = std::string(1, char(c));
                ++m_pos;
            } else {
                // Show a whole UTF-8 character when it is one.
                size_t n = 1;
                if (c >= 0xC0)
                    while (m_pos + n < m_s.size() && (static_cast<unsigned char>(m_s[m_pos + n]) & 0xC0) == 0x80 &&
                           n < 4)
                        ++n;
                const std::string shown = (c >= 0xC0 && n > 1) ? m_s.substr(m_pos, n) : Printable(c);
                Fail("Invalid character '" + shown + "'", t.column);
            }
            out.push_back(std::move(t));
        }
    }

    int EndColumn() const { return Column(m_s.size()); }

private:
    unsigned char Cur() const { return static_cast<unsigned char>(m_s[m_pos]); }
    unsigned char Peek(size_t k) const {
        return m_pos + k < m_s.size() ? static_cast<unsigned char>(m_s[m_pos + k]) : 0;
    }
    bool IsMicro() const { return (Cur() == 0xC2 && Peek(1) == 0xB5) || (Cur() == 0xCE && Peek(1) == 0xBC); }
    void SkipBlanks() {
        while (m_pos < m_s.size() && (Cur() == ' ' || Cur() == '\t' || Cur() == '\f' || Cur() == '\v'))
            ++m_pos;
    }
    // Columns count characters, not bytes: UTF-8 continuation bytes are
    // skipped. Positions are asked for left to right, so the count carries on
    // from the last one (a long line stays linear).
    int Column(size_t pos) const {
        pos = std::min(pos, m_s.size());
        if (pos < m_colPos) {
            m_colPos = 0;
            m_col = 1;
        }
        for (; m_colPos < pos; ++m_colPos)
            if ((static_cast<unsigned char>(m_s[m_colPos]) & 0xC0) != 0x80)
                ++m_col;
        return m_col;
    }
    [[noreturn]] void Fail(const std::string &msg, int column) const { throw Failure{msg, m_line, column}; }

    void LexNumber(Token &t) {
        const size_t b = m_pos;
        t.kind = Tok::Number;
        if (Cur() == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
            m_pos += 2;
            unsigned long long v = 0;
            size_t digits = 0;
            bool overflow = false;
            while (m_pos < m_s.size() && HexValue(Cur()) >= 0) {
                if (v > (~0ull >> 4))
                    overflow = true;
                v = (v << 4) | unsigned(HexValue(Cur()));
                ++m_pos;
                ++digits;
            }
            while (m_pos < m_s.size() && IsNameChar(Cur()))
                ++m_pos;
            t.text = m_s.substr(b, m_pos - b);
            if (digits == 0 || overflow || t.text.size() != digits + 2)
                Fail("Invalid number '" + t.text + "'", t.column);
            t.number = static_cast<long double>(v);
            return;
        }
        while (m_pos < m_s.size() && IsDigit(Cur()))
            ++m_pos;
        if (m_pos < m_s.size() && Cur() == '.') {
            ++m_pos;
            while (m_pos < m_s.size() && IsDigit(Cur()))
                ++m_pos;
        }
        // An exponent only when digits follow, so "10e" stays a number and a name.
        if (m_pos < m_s.size() && (Cur() == 'e' || Cur() == 'E')) {
            size_t k = 1;
            if (Peek(1) == '+' || Peek(1) == '-')
                k = 2;
            if (IsDigit(Peek(k))) {
                m_pos += k;
                while (m_pos < m_s.size() && IsDigit(Cur()))
                    ++m_pos;
            }
        }
        t.text = m_s.substr(b, m_pos - b);
        if (m_pos < m_s.size() && Cur() == '.')
            Fail("Invalid number '" + t.text + ".'", t.column);
        double v = 0;
        const auto r = std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
        if (r.ec != std::errc() || r.ptr != t.text.data() + t.text.size() || !std::isfinite(v))
            Fail("Invalid number '" + t.text + "'", t.column);
        t.number = v;
    }

    void LexString(Token &t) {
        t.kind = Tok::String;
        ++m_pos;
        while (true) {
            if (m_pos >= m_s.size())
                Fail("Unterminated string", t.column);
            const unsigned char c = Cur();
            if (c == '"') {
                ++m_pos;
                return;
            }
            if (c == '\\') {
                const unsigned char n = Peek(1);
                if (n == '"' || n == '\\') {
                    t.bytes += char(n);
                    m_pos += 2;
                } else if ((n == 'x' || n == 'X') && HexValue(Peek(2)) >= 0 && HexValue(Peek(3)) >= 0) {
                    t.bytes += char(HexValue(Peek(2)) * 16 + HexValue(Peek(3)));
                    m_pos += 4;
                } else {
                    Fail("Invalid escape in string", Column(m_pos));
                }
                continue;
            }
            t.bytes += char(c);
            ++m_pos;
        }
    }

    const std::string &m_s;
    int m_line;
    size_t m_pos = 0;
    mutable size_t m_colPos = 0;
    mutable int m_col = 1;
};

enum class SymKind { Line, Value, Bytes };

struct Symbol {
    SymKind kind = SymKind::Value;
    uint32_t mask = 0;
    long double value = 0;
    std::string bytes;
};

const char *KindText(SymKind k) {
    switch (k) {
    case SymKind::Line:
        return "a line";
    case SymKind::Value:
        return "a value";
    case SymKind::Bytes:
        return "a byte sequence";
    }
    return "";
}

enum class ActKind { Switch, Pulse, Macro, Code };

struct ParsedAction {
    ActKind kind = ActKind::Switch;
    long double offset = 0;
    uint32_t setCode = 0, resetCode = 0; // Switch uses setCode only
    long double width = 0;
    std::string bytes;
    int line = 0, column = 0;
};

struct SourceFile {
    std::string path;
    std::vector<std::string> lines;
};

class Compiler {
public:
    Compiler(std::string includeDir, Sink &sink) : m_includeDir(std::move(includeDir)), m_sink(sink) {}

    void CompileFile(const std::string &path, int depth) {
        SourceFile file;
        file.path = path;
        if (!ReadLines(path, file.lines))
            throw FileFailure{"Cannot open file '" + path + "'"};
        std::error_code ec;
        const fs::path canon = fs::weakly_canonical(fs::path(path), ec);
        m_included.insert(ec ? path : canon.string());
        ++m_fileCount;
        m_sink.FileEntered(depth, m_fileCount);

        const std::string savedFile = m_file;
        m_file = path;
        size_t i = 0;
        while (i < file.lines.size()) {
            std::vector<Token> tokens;
            int endLine = 0, endColumn = 1;
            // Gather one statement: physical lines joined by a trailing backslash.
            while (true) {
                m_sink.LineRead();
                const int lineNo = int(i) + 1;
                Lexer lex(file.lines[i], lineNo);
                try {
                    lex.Run(tokens);
                } catch (Failure &f) {
                    throw Located{f};
                }
                endLine = lineNo;
                endColumn = lex.EndColumn();
                ++i;
                if (!tokens.empty() && tokens.back().kind == Tok::Punct && tokens.back().text == "\\" &&
                    tokens.back().line == lineNo) {
                    tokens.pop_back();
                    if (i < file.lines.size())
                        continue;
                }
                break;
            }
            Token end;
            end.kind = Tok::End;
            end.line = endLine;
            end.column = endColumn;
            tokens.push_back(end);
            try {
                Statement(tokens, depth);
            } catch (Failure &f) {
                throw Located{f};
            }
        }
        m_file = savedFile;
    }

    // Errors carry the file they happened in.
    struct Located {
        Failure f;
    };
    struct FileFailure {
        std::string message;
    };

    const std::string &CurrentFile() const { return m_file; }

private:
    static bool ReadLines(const std::string &path, std::vector<std::string> &lines) {
        std::error_code ec;
        if (!fs::is_regular_file(fs::path(path), ec))
            return false;
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        std::ostringstream ss;
        ss << in.rdbuf();
        const std::string text = ss.str();
        std::string cur;
        for (size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '\r' || c == '\n') {
                lines.push_back(cur);
                cur.clear();
                if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
            } else {
                cur += c;
            }
        }
        if (!cur.empty())
            lines.push_back(cur);
        return true;
    }

    // --- token cursor -------------------------------------------------------
    const std::vector<Token> *m_toks = nullptr;
    size_t m_at = 0;

    const Token &Cur() const { return (*m_toks)[m_at]; }
    const Token &Next() { return (*m_toks)[m_at < m_toks->size() - 1 ? m_at++ : m_at]; }
    bool AtEnd() const { return Cur().kind == Tok::End; }
    bool IsKeyword(const char *kw) const { return Cur().kind == Tok::Name && Lower(Cur().text) == kw; }
    bool IsPunct(const char *p) const { return Cur().kind == Tok::Punct && Cur().text == p; }

    [[noreturn]] static void FailAt(const Token &t, const std::string &msg) { throw Failure{msg, t.line, t.column}; }
    [[noreturn]] void Unexpected() const {
        if (AtEnd())
            FailAt(Cur(), "Unexpected end of line");
        FailAt(Cur(), "Unexpected '" + Spelling(Cur()) + "'");
    }
    static std::string Spelling(const Token &t) { return t.kind == Tok::String ? "\"" + t.bytes + "\"" : t.text; }
    void Expect(const char *what, bool ok) const {
        if (!ok) {
            if (AtEnd())
                FailAt(Cur(), std::string("Expected ") + what);
            FailAt(Cur(), std::string("Expected ") + what + ", found '" + Spelling(Cur()) + "'");
        }
    }
    void ExpectKeyword(const char *kw) {
        Expect((std::string("'") + kw + "'").c_str(), IsKeyword(kw));
        Next();
    }
    void ExpectPunct(const char *p) {
        Expect((std::string("'") + p + "'").c_str(), IsPunct(p));
        Next();
    }
    void ExpectEnd() const {
        if (!AtEnd())
            Unexpected();
    }

    // A name being defined: must not be reserved nor reuse another kind's name.
    std::string DefinedName(SymKind kind) {
        Expect("a name", Cur().kind == Tok::Name);
        const Token &t = Next();
        if (IsReserved(t.text))
            FailAt(t, "'" + t.text + "' is a reserved word");
        const auto it = m_symbols.find(t.text);
        if (it != m_symbols.end() && it->second.kind != kind)
            FailAt(t, "'" + t.text + "' is already defined as " + KindText(it->second.kind));
        return t.text;
    }

    // --- expressions --------------------------------------------------------
    int m_depth = 0;
    struct DepthGuard {
        Compiler &c;
        const Token &t;
        DepthGuard(Compiler &cc, const Token &tt) : c(cc), t(tt) {
            if (++c.m_depth > kMaxExpressionDepth)
                FailAt(t, "Expression nested too deeply");
        }
        ~DepthGuard() { --c.m_depth; }
    };

    // Values travel on as doubles, so anything beyond the double range is
    // as unusable as infinity.
    static bool Finite(long double v) { return std::isfinite(v) && std::fabs(v) <= DBL_MAX; }

    static long double Checked(const Token &t, long double v) {
        if (!Finite(v))
            FailAt(t, "Value is not a finite number");
        return v;
    }

    long double Expr() {
        const Token &first = Cur();
        DepthGuard g(*this, first);
        long double v = Term();
        while (IsPunct("+") || IsPunct("-")) {
            const Token &op = Next();
            const long double r = Term();
            v = Checked(op, op.text == "+" ? v + r : v - r);
        }
        return v;
    }

    long double Term() {
        long double v = Unary();
        while (IsPunct("*") || IsPunct("/")) {
            const Token &op = Next();
            const long double r = Unary();
            if (op.text == "/" && r == 0)
                FailAt(op, "Division by zero");
            v = Checked(op, op.text == "*" ? v * r : v / r);
        }
        return v;
    }

    long double Unary() {
        if (IsPunct("-") || IsPunct("+")) {
            const Token &op = Next();
            DepthGuard g(*this, op);
            const long double v = Unary();
            return op.text == "-" ? -v : v;
        }
        long double v = Primary();
        if (Cur().kind == Tok::Name) {
            const long double scale = UnitScale(Cur().text);
            if (scale != 0) {
                const Token &u = Next();
                v = Checked(u, v * scale);
            }
        }
        return v;
    }

    long double Primary() {
        const Token &t = Cur();
        if (t.kind == Tok::Number) {
            Next();
            return t.number;
        }
        if (IsPunct("(")) {
            Next();
            const long double v = Expr();
            ExpectPunct(")");
            return v;
        }
        if (t.kind == Tok::Name && !IsReserved(t.text)) {
            Next();
            const auto it = m_symbols.find(t.text);
            if (it == m_symbols.end())
                FailAt(t, "Unknown name '" + t.text + "'");
            if (it->second.kind != SymKind::Value)
                FailAt(t, "'" + t.text + "' is " + KindText(it->second.kind) + ", not a value");
            return it->second.value;
        }
        if (AtEnd())
            FailAt(t, "Unexpected end of line");
        Expect("a value", false);
        return 0;
    }

    // A whole number in [lo, hi], else msg at the expression's first token.
    uint64_t WholeExpr(long double lo, long double hi, const std::string &msg) {
        const Token &t = Cur();
        const long double v = Expr();
        if (v < lo || v > hi || v != std::floor(v))
            FailAt(t, msg);
        return static_cast<uint64_t>(v);
    }

    // --- statements ---------------------------------------------------------
    void Statement(const std::vector<Token> &tokens, int depth) {
        m_toks = &tokens;
        m_at = 0;
        m_depth = 0;
        if (AtEnd())
            return;
        const Token &head = Cur();
        if (head.kind != Tok::Name)
            FailAt(head, "Unknown statement '" + Spelling(head) + "'");
        const std::string kw = Lower(head.text);
        Next();
        if (kw == "include")
            Include(depth);
        else if (kw == "line")
            LineDef();
        else if (kw == "const" || kw == "var")
            ValueDef(kw == "var");
        else if (kw == "bytes")
            BytesDef();
        else if (kw == "at")
            At();
        else if (kw == "every")
            Every();
        else if (kw == "lin" || kw == "log")
            Spaced(kw == "log");
        else
            FailAt(head, "Unknown statement '" + head.text + "'");
    }

    void Include(int depth) {
        Expect("a file name in quotes", Cur().kind == Tok::String);
        const Token &name = Next();
        ExpectEnd();
        if (depth + 1 >= kMaxIncludeDepth)
            FailAt(name, "Includes nested too deeply");
        const std::string found = FindInclude(name.bytes);
        if (found.empty())
            FailAt(name, "Include file '" + name.bytes + "' not found");
        std::error_code ec;
        const fs::path canon = fs::weakly_canonical(fs::path(found), ec);
        if (m_included.count(ec ? found : canon.string()))
            return;
        // The included file's statements reuse the token cursor; keep ours.
        const std::vector<Token> *toks = m_toks;
        const size_t at = m_at;
        try {
            CompileFile(found, depth + 1);
        } catch (FileFailure &f) {
            FailAt(name, f.message);
        }
        m_toks = toks;
        m_at = at;
    }

    std::string FindInclude(const std::string &name) const {
        if (name.empty() || name.find('\0') != std::string::npos)
            return {};
        std::error_code ec;
        const fs::path p(name);
        auto exists = [&](const fs::path &c) { return fs::is_regular_file(c, ec); };
        if (p.is_absolute())
            return exists(p) ? p.string() : std::string();
        if (!m_includeDir.empty()) {
            std::string dir = m_includeDir;
            // The program may end the folder with either separator.
            for (char &c : dir)
                if (c == '\\')
                    c = '/';
            const fs::path c = fs::path(dir) / p;
            if (exists(c))
                return c.string();
        }
        const fs::path beside = fs::path(m_file).parent_path() / p;
        if (exists(beside))
            return beside.string();
        return {};
    }

    void LineDef() {
        const std::string name = DefinedName(SymKind::Line);
        ExpectPunct("=");
        uint32_t mask = 0;
        while (true) {
            mask |= LineRef();
            if (!IsPunct(","))
                break;
            Next();
        }
        ExpectEnd();
        Symbol s;
        s.kind = SymKind::Line;
        s.mask = mask;
        m_symbols[name] = s;
    }

    uint32_t LineRef() {
        if (Cur().kind == Tok::Name) {
            const auto it = m_symbols.find(Cur().text);
            if (it != m_symbols.end() && it->second.kind == SymKind::Line) {
                Next();
                return it->second.mask;
            }
        }
        const uint64_t bit = WholeExpr(0, 15, "Line number must be a whole number from 0 to 15");
        return 1u << bit;
    }

    void ValueDef(bool report) {
        const std::string name = DefinedName(SymKind::Value);
        ExpectPunct("=");
        const long double v = Expr();
        ExpectEnd();
        Symbol s;
        s.value = v;
        m_symbols[name] = s;
        if (report)
            m_sink.Variable(name.c_str(), v);
    }

    void BytesDef() {
        const std::string name = DefinedName(SymKind::Bytes);
        ExpectPunct("=");
        Symbol s;
        s.kind = SymKind::Bytes;
        s.bytes = ByteList();
        ExpectEnd();
        m_symbols[name] = s;
    }

    std::string ByteList() {
        std::string out;
        while (true) {
            const Token &t = Cur();
            if (t.kind == Tok::String) {
                out += t.bytes;
                Next();
            } else if ((IsKeyword("word") || IsKeyword("long"))) {
                const bool word = IsKeyword("word");
                Next();
                ExpectPunct("(");
                // Levels are often computed (35 * Percent): round to the nearest, ties to even.
                const Token &vt = Cur();
                const long double raw = std::nearbyint(Expr());
                if (word && !(raw >= 0 && raw <= 65535))
                    FailAt(vt, "word value must be from 0 to 65535");
                if (!word && !(raw >= 0 && raw <= 4294967295.0L))
                    FailAt(vt, "long value must be from 0 to 4294967295");
                const uint64_t v = static_cast<uint64_t>(raw);
                ExpectPunct(")");
                for (int k = 0; k < (word ? 2 : 4); ++k)
                    out += char((v >> (8 * k)) & 0xFF);
            } else if (t.kind == Tok::Name && m_symbols.count(t.text) && m_symbols[t.text].kind == SymKind::Bytes) {
                out += m_symbols[t.text].bytes;
                Next();
            } else {
                out += char(WholeExpr(0, 255, "Byte value must be a whole number from 0 to 255"));
            }
            // Nothing longer can be sent; stopping here also keeps sequences
            // built from themselves from doubling without end.
            if (out.size() > 255)
                FailAt(t, "Macro must hold 1 to 255 bytes");
            if (!IsPunct(","))
                break;
            Next();
        }
        return out;
    }

    // --- timed statements ---------------------------------------------------
    void At() {
        const long double t = Expr();
        const std::vector<ParsedAction> actions = Actions();
        Reserve(1, actions);
        Emit(t, actions);
    }

    void Every() {
        const Token &stepTok = Cur();
        const long double step = Expr();
        if (step <= 0)
            FailAt(stepTok, "Step must be positive");
        ExpectKeyword("from");
        const long double start = Expr();
        ExpectKeyword("to");
        const long double end = Expr();
        const std::vector<ParsedAction> actions = Actions();
        long double n = end < start ? 0 : std::floor((end - start) / step * (1 + 1e-12L) + 1e-9L) + 1;
        Reserve(n, actions, stepTok);
        for (long k = 0; k < long(n); ++k)
            Emit(start + step * k, actions);
    }

    void Spaced(bool logarithmic) {
        const Token &countTok = Cur();
        const long double count = Expr();
        if (count < 1 || count != std::floor(count))
            FailAt(countTok, "Count must be a whole number of at least 1");
        ExpectKeyword("from");
        const Token &startTok = Cur();
        const long double start = Expr();
        ExpectKeyword("to");
        const long double end = Expr();
        const std::vector<ParsedAction> actions = Actions();
        if (logarithmic && (start <= 0 || end <= 0))
            FailAt(startTok, "Logarithmic series needs positive times");
        Reserve(count, actions, countTok);
        const long n = long(count);
        for (long k = 0; k < n; ++k) {
            long double t = start;
            if (n > 1) {
                const long double f = static_cast<long double>(k) / static_cast<long double>(n - 1);
                t = logarithmic ? start * std::pow(end / start, f) : start + (end - start) * f;
            }
            if (k == n - 1 && n > 1)
                t = end;
            Emit(t, actions);
        }
    }

    // Refuses a series whose callbacks would exceed the overall limit, before
    // generating any of them.
    void Reserve(long double instants, const std::vector<ParsedAction> &actions, const Token &where) {
        long double perInstant = 0;
        for (const ParsedAction &a : actions)
            perInstant += a.kind == ActKind::Pulse ? 2 : 1;
        if (m_emitted + instants * perInstant > kMaxActions)
            FailAt(where, "Too many actions (more than " + std::to_string(kMaxActions) + ")");
        m_emitted += instants * perInstant;
    }
    void Reserve(long double instants, const std::vector<ParsedAction> &actions) {
        Reserve(instants, actions, (*m_toks)[0]);
    }

    std::vector<ParsedAction> Actions() {
        std::vector<ParsedAction> list;
        while (true) {
            list.push_back(Action());
            if (!IsKeyword("and"))
                break;
            Next();
        }
        ExpectEnd();
        return list;
    }

    uint32_t Lines() {
        uint32_t mask = 0;
        while (true) {
            Expect("a line name", Cur().kind == Tok::Name);
            const Token &t = Next();
            const auto it = m_symbols.find(t.text);
            if (it == m_symbols.end())
                FailAt(t, "Unknown name '" + t.text + "'");
            if (it->second.kind != SymKind::Line)
                FailAt(t, "'" + t.text + "' is not a line");
            mask |= it->second.mask;
            if (!IsPunct(","))
                break;
            Next();
        }
        return mask;
    }

    uint32_t Channels() {
        Expect("a channel (A, B or AB)", Cur().kind == Tok::Name);
        const std::string c = Lower(Cur().text);
        uint32_t mask = c == "a" ? kRecordA : c == "b" ? kRecordB : c == "ab" ? (kRecordA | kRecordB) : 0;
        Expect("a channel (A, B or AB)", mask != 0);
        Next();
        return mask;
    }

    struct Options {
        uint32_t record = 0;
        bool burst = false;
        bool unrecorded = false;
        const Token *unrecordedTok = nullptr;
        uint32_t mark = 0; // 1..255, 0 = none
        const Token *markTok = nullptr;
    };

    // A mark name: a name, optionally with primes (Fm'). Each new name gets
    // the next number and is reported once as the variable "mark:NAME".
    uint32_t MarkId() {
        Expect("a mark name", Cur().kind == Tok::Name);
        const Token &t = Next();
        if (IsReserved(t.text))
            FailAt(t, "'" + t.text + "' is a reserved word");
        std::string name = t.text;
        while (IsPunct("'")) {
            Next();
            name += '\'';
        }
        const auto it = m_marks.find(name);
        if (it != m_marks.end())
            return it->second;
        if (m_marks.size() >= 255)
            FailAt(t, "Too many marks (more than 255)");
        const uint32_t id = uint32_t(m_marks.size() + 1);
        m_marks.emplace(name, id);
        m_sink.Variable(("mark:" + name).c_str(), id);
        return id;
    }

    Options ParseOptions() {
        Options o;
        while (true) {
            if (IsKeyword("record")) {
                Next();
                o.record |= Channels();
            } else if (IsKeyword("burst")) {
                Next();
                o.burst = true;
            } else if (IsKeyword("unrecorded")) {
                o.unrecordedTok = &Next();
                o.unrecorded = true;
            } else if (IsKeyword("mark")) {
                o.markTok = &Next();
                o.mark = MarkId();
            } else {
                return o;
            }
        }
    }

    // Set and reset codes of a switch-on with options; see the language guide
    // for why the skip bits go into both halves.
    static void Codes(uint32_t lines, const Options &o, ParsedAction &a) {
        const uint32_t mask = lines | o.record;
        uint32_t skip = 0;
        if (o.unrecorded) {
            if (mask & kRecordA)
                skip |= kSkipA;
            if (mask & kRecordB)
                skip |= kSkipB;
            if (skip == 0)
                FailAt(*o.unrecordedTok, "'unrecorded' needs a sampled channel");
        }
        if (o.mark && !((mask & kRecordA) && !(skip & kSkipA)) && !((mask & kRecordB) && !(skip & kSkipB)))
            FailAt(*o.markTok, "'mark' needs a recorded channel");
        a.setCode = mask | skip | (o.burst ? kBurst : 0) | (o.mark << kMarkShift);
        a.resetCode = mask | skip | kReset;
    }

    long double Width() {
        const Token &t = Cur();
        const long double w = Expr();
        if (w <= 0)
            FailAt(t, "Width must be positive");
        return w;
    }

    ParsedAction Action() {
        ParsedAction a;
        if (IsKeyword("after") || IsKeyword("before")) {
            const bool after = IsKeyword("after");
            Next();
            const long double d = Expr();
            a.offset = after ? d : -d;
        }
        const Token &head = Cur();
        a.line = head.line;
        a.column = head.column;
        if (head.kind != Tok::Name)
            Expect("an action", false);
        const std::string kw = Lower(head.text);
        Next();
        if (kw == "on") {
            const uint32_t lines = Lines();
            const Options o = ParseOptions();
            if (o.unrecorded)
                FailAt(*o.unrecordedTok, "'unrecorded' is only allowed with pulse and sample");
            Codes(lines, o, a);
        } else if (kw == "off") {
            a.setCode = Lines() | kReset;
            if (IsKeyword("record") || IsKeyword("burst") || IsKeyword("unrecorded") || IsKeyword("mark"))
                FailAt(Cur(), "Options are not allowed with off");
            a.kind = ActKind::Switch;
            return a;
        } else if (kw == "pulse") {
            const uint32_t lines = Lines();
            ExpectKeyword("for");
            a.kind = ActKind::Pulse;
            a.width = Width();
            Codes(lines, ParseOptions(), a);
        } else if (kw == "sample") {
            const uint32_t lines = Channels();
            a.kind = ActKind::Pulse;
            if (IsKeyword("for")) {
                Next();
                a.width = Width();
            } else {
                const auto it = m_symbols.find("SampleWidth");
                if (it == m_symbols.end() || it->second.kind != SymKind::Value)
                    FailAt(head, "SampleWidth is not defined; write 'sample ... for WIDTH'");
                if (it->second.value <= 0)
                    FailAt(head, "Width must be positive");
                a.width = it->second.value;
            }
            Codes(lines, ParseOptions(), a);
        } else if (kw == "macro") {
            a.kind = ActKind::Macro;
            a.bytes = ByteList();
            if (a.bytes.empty() || a.bytes.size() > 255)
                FailAt(head, "Macro must hold 1 to 255 bytes");
        } else if (kw == "repeat") {
            a.kind = ActKind::Macro;
            const uint64_t n = WholeExpr(1, 2147483647.0L, "Repeat count must be a whole number from 1 to 2147483647");
            ExpectKeyword("times");
            bool quick = false;
            if (IsKeyword("quick")) {
                Next();
                quick = true;
            }
            a.bytes = quick ? "q" : "p";
            for (int k = 0; k < 4; ++k)
                a.bytes += char((n >> (8 * k)) & 0xFF);
        } else if (kw == "code") {
            a.kind = ActKind::Code;
            a.setCode = uint32_t(WholeExpr(0, 4294967295.0L, "Code must be a whole number from 0 to 4294967295"));
        } else {
            FailAt(head, "Expected an action, found '" + head.text + "'");
        }
        return a;
    }

    void Emit(long double at, const std::vector<ParsedAction> &actions) {
        for (const ParsedAction &a : actions) {
            const long double t = at + a.offset;
            if (!Finite(t) || !Finite(t + a.width))
                throw Failure{"Value is not a finite number", a.line, a.column};
            switch (a.kind) {
            case ActKind::Switch:
            case ActKind::Code:
                m_sink.Action(t, a.setCode);
                break;
            case ActKind::Pulse:
                m_sink.Action(t, a.setCode);
                m_sink.Action(t + a.width, a.resetCode);
                break;
            case ActKind::Macro: {
                if (t < 0 && a.bytes.size() > 97)
                    throw Failure{"Initial macro must hold at most 97 bytes", a.line, a.column};
                std::vector<uint8_t> record(a.bytes.size() + 2, 0);
                record[0] = uint8_t(a.bytes.size());
                for (size_t k = 0; k < a.bytes.size(); ++k)
                    record[k + 2] = static_cast<uint8_t>(a.bytes[k]);
                m_sink.Macro(t, record.data());
                break;
            }
            }
        }
    }

    std::string m_includeDir;
    Sink &m_sink;
    std::string m_file;
    std::map<std::string, Symbol> m_symbols;
    std::map<std::string, uint32_t> m_marks;
    std::set<std::string> m_included;
    int m_fileCount = 0;
    long double m_emitted = 0;
};

} // namespace

bool Compile(const std::string &sourceFile, const std::string &includeDir, Sink &sink, CompileError &error) {
    error = CompileError{};
    Compiler c(includeDir, sink);
    try {
        c.CompileFile(sourceFile, 0);
    } catch (Compiler::FileFailure &f) {
        error.message = f.message;
        error.file = sourceFile;
        return false;
    } catch (Compiler::Located &l) {
        error.message = l.f.message;
        error.file = c.CurrentFile();
        error.line = l.f.line;
        error.column = l.f.column;
        return false;
    } catch (const std::exception &e) {
        // Out of memory and the like: still an error, never a crash.
        error.message = e.what();
        error.file = sourceFile;
        return false;
    }
    sink.End();
    return true;
}

} // namespace protocol
