#include "runtime/core/format.h"

namespace kci {
namespace {

struct Directive {
    bool leftAlign = false;
    bool zeroPad = false;
    bool plusSign = false;
    bool spaceSign = false;
    bool alternate = false;
    std::size_t width = 0;
    bool hasPrecision = false;
    std::size_t precision = 0;
    wchar_t conversion = 0;
};

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Widths beyond this are nonsense in a log line; clamping keeps a hostile
// format from asking for gigabytes of padding.
constexpr std::size_t kMaxWidth = 4096;

std::size_t ReadNumber(const wchar_t*& p) {
    std::size_t n = 0;
    while (IsDigit(*p)) {
        n = n * 10 + static_cast<std::size_t>(*p - L'0');
        if (n > kMaxWidth) n = kMaxWidth;
        ++p;
    }
    return n;
}

// Parses the directive that starts just after '%'. Returns false when the
// text is not a directive this formatter knows.
bool ParseDirective(const wchar_t*& p, Directive& d) {
    for (;; ++p) {
        if (*p == L'-') d.leftAlign = true;
        else if (*p == L'0') d.zeroPad = true;
        else if (*p == L'+') d.plusSign = true;
        else if (*p == L' ') d.spaceSign = true;
        else if (*p == L'#') d.alternate = true;
        else break;
    }
    d.width = ReadNumber(p);
    if (*p == L'.') {
        ++p;
        d.hasPrecision = true;
        d.precision = ReadNumber(p);
    }
    while (*p == L'l' || *p == L'h') ++p;
    switch (*p) {
        case L'd': case L'i': case L'u': case L'x': case L'X': case L's': case L'c':
            d.conversion = *p++;
            return true;
        default:
            return false;
    }
}

std::wstring Digits(std::uint32_t value, unsigned base, bool upper) {
    const wchar_t* symbols = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring out;
    do {
        out.insert(out.begin(), symbols[value % base]);
        value /= base;
    } while (value != 0);
    return out;
}

void Pad(std::wstring& out, std::wstring_view body, const Directive& d, std::size_t signLength) {
    if (body.size() >= d.width) {
        out.append(body);
        return;
    }
    std::size_t fill = d.width - body.size();
    if (d.leftAlign) {
        out.append(body);
        out.append(fill, L' ');
    } else if (d.zeroPad && d.conversion != L's' && d.conversion != L'c') {
        out.append(body.substr(0, signLength));
        out.append(fill, L'0');
        out.append(body.substr(signLength));
    } else {
        out.append(fill, L' ');
        out.append(body);
    }
}

void AppendNumber(std::wstring& out, const FormatArg& arg, const Directive& d) {
    std::wstring body;
    std::size_t signLength = 0;
    if (d.conversion == L'd' || d.conversion == L'i' ||
        (d.conversion == L's' && arg.kind() == FormatArg::Kind::Signed)) {
        std::int32_t v = arg.asSigned();
        std::uint32_t magnitude = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
        if (v < 0) body = L"-";
        else if (d.plusSign) body = L"+";
        else if (d.spaceSign) body = L" ";
        signLength = body.size();
        body += Digits(magnitude, 10, false);
    } else if (d.conversion == L'x' || d.conversion == L'X') {
        std::uint32_t v = arg.asUnsigned();
        if (d.alternate && v != 0) {
            body = d.conversion == L'x' ? L"0x" : L"0X";
            signLength = 2;
        }
        body += Digits(v, 16, d.conversion == L'X');
    } else if (d.conversion == L'c') {
        body.assign(1, static_cast<wchar_t>(arg.asUnsigned()));
    } else {
        body = Digits(arg.asUnsigned(), 10, false);
    }
    Pad(out, body, d, signLength);
}

void AppendText(std::wstring& out, std::wstring_view text, const Directive& d) {
    if (d.hasPrecision && text.size() > d.precision) text = text.substr(0, d.precision);
    Pad(out, text, d, 0);
}

}  // namespace

std::wstring FormatText(const wchar_t* format, std::initializer_list<FormatArg> args) {
    std::wstring out;
    if (format == nullptr) return out;
    auto next = args.begin();
    for (const wchar_t* p = format; *p != L'\0';) {
        if (*p != L'%') {
            out.push_back(*p++);
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out.push_back(L'%');
            ++p;
            continue;
        }
        Directive d;
        if (!ParseDirective(p, d) || next == args.end()) {
            // Not ours to interpret: keep the text as written.
            out.append(start, p);
            continue;
        }
        const FormatArg& arg = *next++;
        if (arg.kind() == FormatArg::Kind::Text) AppendText(out, arg.text(), d);
        else AppendNumber(out, arg, d);
    }
    return out;
}

}  // namespace kci
