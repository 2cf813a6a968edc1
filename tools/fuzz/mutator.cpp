#include "tools/fuzz/mutator.h"

#include <windows.h>

#include <algorithm>

namespace
{
const char kInterestingBytes[] = {'\0', '\xFF', '\x7F', '\x80', '\xC0', '\xEF', '<', '>', '&', '"', '\'',
                                  '/',  '=',    '\n',   '\r',   ' ',    '?',    '!', ']', ';', '%', '\t'};

// Pieces of XML syntax that no valid file of ours holds in that place.
const char* const kSyntaxTokens[] = {
    "<", ">", "/>", "</", "<?", "?>", "<!--", "-->", "<![CDATA[", "]]>", "&", "&amp;", "&lt;", "&#0;", "&#x1;",
    "&#xD800;", "&#xFFFE;", "&#x10FFFF;", "&#1114112;", "&#65;", "&undefined;", "&#;", "&#x;", "=\"\"", "\"", "'",
    "xmlns=\"urn:x\"", "xmlns:a=\"urn:a\" a:", "xml:space=\"preserve\"", "<?xml version=\"1.0\"?>",
    "<?xml version=\"1.1\" encoding=\"utf-8\"?>", "<!ENTITY x \"y\">", "<a>", "</a>", "<a/>", "\xEF\xBB\xBF",
    "<?xml-stylesheet href=\"file:///c:/windows/win.ini\"?>", " ", "\r\n", "\t", "\x01", "\x0B",
};

// Attribute and text values that commonly break readers.
const char* const kInterestingValues[] = {
    "", " ", "\"", "'", "&amp;", "&lt;", "&quot;&apos;", "&#0;", "&#x1;", "&#xD800;", "&#xFFFF;", "&#x10FFFF;",
    "&#65;", "-1", "0", "-0", "+1", "2147483647", "2147483648", "-2147483649", "4294967295", "4294967296",
    "99999999999999999999999999", " 42", "42 ", "1e9", "0x10", "NaN", "%s%s%s%n", "%n", "%%", "%s", "\\", "\\\\",
    "..\\..\\..\\windows", "C:\\", "\\\\?\\C:\\x", "\\\\server\\share\\a.exe", "a\"]|//*[\"x", "')]|//*|concat('",
    "\"'\"", "*", "[1]", "/", "//", "@*", "::", "true", "True", "TRUE", "false", "1", ".", "..", "1.", ".1", "1..2",
    "\xE3\x81\x82", "\xF0\x9F\x98\x80", "\xEF\xBF\xBD", "\xC3\xA9", "CON", "NUL:", "http://127.0.0.1:9/x",
    "file:///c:/windows/win.ini",
};

// Document type declarations: internal entities (also nested, for amplification), external
// entities and subsets that would reach the file system or the network, attribute defaults.
const char* const kDoctypes[] = {
    "<!DOCTYPE r>",
    "<!doctype r>",
    "<!DOCTYPE r SYSTEM \"file:///c:/windows/win.ini\">",
    "<!DOCTYPE r SYSTEM \"http://127.0.0.1:9/x.dtd\">",
    "<!DOCTYPE r PUBLIC \"-//x//y\" \"nonexistent.dtd\">",
    "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///c:/windows/win.ini\">]>",
    "<!DOCTYPE r [<!ENTITY x SYSTEM \"http://127.0.0.1:9/x\">]>",
    "<!DOCTYPE r [<!ENTITY x \"expanded\">]>",
    "<!DOCTYPE r [<!ENTITY % p \"<!ENTITY x 'param'>\"> %p;]>",
    "<!DOCTYPE r [<!ENTITY % p SYSTEM \"http://127.0.0.1:9/p.dtd\"> %p;]>",
    "<!DOCTYPE r [<!ATTLIST InformationFile Noop CDATA \"true\"><!ATTLIST FILTER subject CDATA \"ZepBackend_Library\">]>",
    "<!DOCTYPE r [<!ELEMENT r ANY><!ATTLIST r id ID #IMPLIED>]>",
    "<!DOCTYPE r [<!ENTITY x \"<a>&x;</a>\">]>",
    "<!DOCTYPE r [ <!ENTITY x0 \"ha\"> <!ENTITY x1 \"&x0;&x0;&x0;&x0;&x0;&x0;&x0;&x0;&x0;&x0;\">"
    " <!ENTITY x2 \"&x1;&x1;&x1;&x1;&x1;&x1;&x1;&x1;&x1;&x1;\"> <!ENTITY x3 \"&x2;&x2;&x2;&x2;&x2;&x2;&x2;&x2;&x2;&x2;\">"
    " <!ENTITY x4 \"&x3;&x3;&x3;&x3;&x3;&x3;&x3;&x3;&x3;&x3;\"> <!ENTITY x5 \"&x4;&x4;&x4;&x4;&x4;&x4;&x4;&x4;&x4;&x4;\">"
    " <!ENTITY x6 \"&x5;&x5;&x5;&x5;&x5;&x5;&x5;&x5;&x5;&x5;\"> <!ENTITY x \"&x6;&x6;&x6;&x6;&x6;&x6;&x6;&x6;&x6;&x6;\">]>",
};

const char* const kEncodingNames[] = {"utf-16",     "UTF-16LE", "utf-16be", "ISO-8859-1", "shift_jis", "windows-1252",
                                      "us-ascii",   "UTF-7",    "bogus",    "",           "UTF-8 ",    "utf-32",
                                      "x-mac-roman"};

const char* const kBadUtf8[] = {"\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xED\xBF\xBF",
                                "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80", "\xFE", "\xFF",
                                "\x80", "\xBF", "\xE3\x81", "\xF0\x9F\x98", "\xEF\xBF\xBE", "\xEF\xBF\xBF",
                                "\xEF\xBB\xBF", "\x00", "\x01", "\x1F"};

template <size_t N>
const char* Pick(CFuzzRandom& rng, const char* const (&items)[N])
{
    return items[rng.Below(N)];
}

// Positions just after a character (e.g. '>' or '"'), or any position when none.
size_t PositionAfter(CFuzzRandom& rng, const std::string& data, char ch)
{
    if (data.empty())
        return 0;
    const size_t start = rng.Below(data.size());
    size_t pos = data.find(ch, start);
    if (pos == std::string::npos)
        pos = data.find(ch);
    return pos == std::string::npos ? rng.Below(data.size() + 1) : pos + 1;
}

// The span of an attribute value (between its quotes) near a random place; false when none.
bool FindAttributeValue(CFuzzRandom& rng, const std::string& data, size_t& begin, size_t& end)
{
    if (data.empty())
        return false;
    const size_t start = rng.Below(data.size());
    size_t pos = data.find("=\"", start);
    size_t posSingle = data.find("='", start);
    if (pos == std::string::npos || (posSingle != std::string::npos && posSingle < pos && rng.Percent(50)))
        pos = posSingle;
    if (pos == std::string::npos)
    {
        pos = data.find("=\"");
        if (pos == std::string::npos)
            return false;
    }
    const char quote = data[pos + 1];
    begin = pos + 2;
    end = data.find(quote, begin);
    if (end == std::string::npos)
        end = data.size();
    return true;
}

// Text as UTF-16 bytes (little- or big-endian); invalid UTF-8 becomes replacement characters.
std::string ToUtf16(const std::string& data, bool bBigEndian)
{
    if (data.empty())
        return std::string();
    const int cch = ::MultiByteToWideChar(CP_UTF8, 0, data.data(), static_cast<int>(data.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(std::max(cch, 0)), L'\0');
    if (cch > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, data.data(), static_cast<int>(data.size()), &wide[0], cch);
    std::string out;
    out.reserve(wide.size() * 2);
    for (wchar_t ch : wide)
    {
        const char lo = static_cast<char>(ch & 0xFF), hi = static_cast<char>((ch >> 8) & 0xFF);
        out += bBigEndian ? hi : lo;
        out += bBigEndian ? lo : hi;
    }
    return out;
}
}  // namespace

const CMutator::Operation CMutator::kOperations[] = {
    &CMutator::FlipBits,         &CMutator::SetInterestingByte, &CMutator::Truncate,     &CMutator::DeleteSpan,
    &CMutator::DuplicateSpan,    &CMutator::Splice,             &CMutator::InsertToken,  &CMutator::ReplaceAttributeValue,
    &CMutator::ReplaceAttributeValue, &CMutator::HugeValue,    &CMutator::EmptyValue,   &CMutator::DeepNesting,
    &CMutator::RepeatElement,    &CMutator::ChangeEncoding,     &CMutator::BadUtf8,      &CMutator::InsertDoctype,
    &CMutator::ChangeLineEnds,   &CMutator::InsertToken,
};
const size_t CMutator::kOperationCount = sizeof(kOperations) / sizeof(kOperations[0]);

CMutator::CMutator(const std::vector<std::string>& corpus, const std::vector<std::string>& dictionary)
    : m_corpus(corpus), m_dictionary(dictionary)
{
}

std::string CMutator::Mutate(CFuzzRandom& rng, const std::string& input) const
{
    std::string data = input;
    const size_t cOperations = rng.Percent(60) ? 1 : rng.Between(2, 4);
    for (size_t i = 0; i < cOperations; ++i)
        (this->*kOperations[rng.Below(kOperationCount)])(rng, data);
    return data;
}

void CMutator::FlipBits(CFuzzRandom& rng, std::string& data) const
{
    if (data.empty())
        return;
    const size_t cFlips = rng.Between(1, 8);
    for (size_t i = 0; i < cFlips; ++i)
        data[rng.Below(data.size())] ^= static_cast<char>(1u << rng.Below(8));
}

void CMutator::SetInterestingByte(CFuzzRandom& rng, std::string& data) const
{
    if (data.empty())
        return;
    data[rng.Below(data.size())] = kInterestingBytes[rng.Below(sizeof(kInterestingBytes))];
}

void CMutator::Truncate(CFuzzRandom& rng, std::string& data) const
{
    data.resize(rng.Below(data.size() + 1));
}

void CMutator::DeleteSpan(CFuzzRandom& rng, std::string& data) const
{
    if (data.empty())
        return;
    const size_t pos = rng.Below(data.size());
    const size_t maxLen = rng.Percent(70) ? 16 : data.size() / 2 + 1;
    data.erase(pos, rng.Between(1, maxLen));
}

void CMutator::DuplicateSpan(CFuzzRandom& rng, std::string& data) const
{
    if (data.empty())
        return;
    const size_t pos = rng.Below(data.size());
    const std::string span = data.substr(pos, rng.Between(1, 256));
    data.insert(rng.Below(data.size() + 1), span);
}

void CMutator::Splice(CFuzzRandom& rng, std::string& data) const
{
    if (m_corpus.empty())
        return;
    const std::string& other = m_corpus[rng.Below(m_corpus.size())];
    if (other.empty())
        return;
    const size_t posOther = rng.Below(other.size());
    const size_t posHere = rng.Below(data.size() + 1);
    switch (rng.Below(3))
    {
    case 0:  // a piece of the other file inserted
        data.insert(posHere, other.substr(posOther, rng.Between(1, 512)));
        break;
    case 1:  // this file's head, the other's tail
        data = data.substr(0, posHere) + other.substr(posOther);
        break;
    default:  // a span replaced by a piece of the other file
        data.replace(posHere, rng.Between(0, 128), other.substr(posOther, rng.Between(1, 256)));
        break;
    }
}

void CMutator::InsertToken(CFuzzRandom& rng, std::string& data) const
{
    std::string token;
    if (!m_dictionary.empty() && rng.Percent(50))
        token = m_dictionary[rng.Below(m_dictionary.size())];
    else
        token = Pick(rng, kSyntaxTokens);
    const size_t pos = rng.Percent(50) ? PositionAfter(rng, data, rng.Percent(50) ? '>' : ' ')
                                       : rng.Below(data.size() + 1);
    data.insert(std::min(pos, data.size()), token);
}

void CMutator::ReplaceAttributeValue(CFuzzRandom& rng, std::string& data) const
{
    size_t begin = 0, end = 0;
    if (!FindAttributeValue(rng, data, begin, end))
        return;
    std::string value;
    if (!m_dictionary.empty() && rng.Percent(50))
        value = m_dictionary[rng.Below(m_dictionary.size())];
    else
        value = Pick(rng, kInterestingValues);
    data.replace(begin, end - begin, value);
}

void CMutator::HugeValue(CFuzzRandom& rng, std::string& data) const
{
    static const size_t kSizes[] = {300, 4096, 65536, 65537, 1 << 20};
    size_t cb = kSizes[rng.Below(sizeof(kSizes) / sizeof(kSizes[0]))];
    if (cb == (1 << 20) && rng.Percent(70))
        cb = 200000;
    static const char* const kUnits[] = {"A", "9", " ", "\xE3\x81\x82", "&amp;", "&#x3042;", "\t", "%s", "\\", "."};
    const std::string unit = kUnits[rng.Below(sizeof(kUnits) / sizeof(kUnits[0]))];
    std::string value;
    value.reserve(cb + unit.size());
    while (value.size() < cb)
        value += unit;
    size_t begin = 0, end = 0;
    if (rng.Percent(60) && FindAttributeValue(rng, data, begin, end))
        data.replace(begin, end - begin, value);
    else
        data.insert(std::min(PositionAfter(rng, data, '>'), data.size()), value);
}

void CMutator::EmptyValue(CFuzzRandom& rng, std::string& data) const
{
    size_t begin = 0, end = 0;
    switch (rng.Below(3))
    {
    case 0:  // an attribute's value
        if (FindAttributeValue(rng, data, begin, end))
            data.erase(begin, end - begin);
        break;
    case 1:  // a whole attribute
        if (FindAttributeValue(rng, data, begin, end))
        {
            size_t nameStart = begin - 2;
            while (nameStart > 0 && data[nameStart - 1] != ' ' && data[nameStart - 1] != '<' &&
                   data[nameStart - 1] != '\n' && data[nameStart - 1] != '\t')
                --nameStart;
            data.erase(nameStart, std::min(end + 1, data.size()) - nameStart);
        }
        break;
    default:  // an element's content
    {
        const size_t open = PositionAfter(rng, data, '>');
        const size_t close = data.find('<', open);
        if (open <= data.size() && close != std::string::npos)
            data.erase(open, close - open);
        break;
    }
    }
}

void CMutator::DeepNesting(CFuzzRandom& rng, std::string& data) const
{
    static const size_t kDepths[] = {64, 256, 257, 1000, 5000, 40000};
    const size_t depth = kDepths[rng.Below(sizeof(kDepths) / sizeof(kDepths[0]))];
    const char* const kNames[] = {"a", "Rule", "ExecInfo", "FILTERLIST", "music", "ApplyCondition"};
    const std::string name = kNames[rng.Below(sizeof(kNames) / sizeof(kNames[0]))];
    std::string open, close;
    for (size_t i = 0; i < depth; ++i)
        open += "<" + name + ">";
    if (!rng.Percent(20))  // sometimes left open
    {
        for (size_t i = 0; i < depth; ++i)
            close += "</" + name + ">";
    }
    data.insert(std::min(PositionAfter(rng, data, '>'), data.size()), open + close);
}

void CMutator::RepeatElement(CFuzzRandom& rng, std::string& data) const
{
    if (data.empty())
        return;
    size_t start = data.find('<', rng.Below(data.size()));
    if (start == std::string::npos)
        start = data.find('<');
    if (start == std::string::npos || start + 1 >= data.size() || !isalpha(static_cast<unsigned char>(data[start + 1])))
        return;
    size_t nameEnd = start + 1;
    while (nameEnd < data.size() && (isalnum(static_cast<unsigned char>(data[nameEnd])) || data[nameEnd] == '_'))
        ++nameEnd;
    const std::string name = data.substr(start + 1, nameEnd - start - 1);
    const size_t tagEnd = data.find('>', nameEnd);
    if (tagEnd == std::string::npos)
        return;
    size_t end = tagEnd + 1;
    if (data[tagEnd - 1] != '/')
    {
        const size_t close = data.find("</" + name + ">", tagEnd);
        if (close == std::string::npos)
            return;
        end = close + name.size() + 3;
    }
    const std::string element = data.substr(start, end - start);
    static const size_t kCounts[] = {1, 2, 5, 6, 50, 1000, 6000};
    size_t count = kCounts[rng.Below(sizeof(kCounts) / sizeof(kCounts[0]))];
    if (element.size() * count > (8u << 20))
        count = (8u << 20) / element.size() + 1;
    std::string copies;
    copies.reserve(element.size() * count);
    for (size_t i = 0; i < count; ++i)
        copies += element;
    data.insert(end, copies);
}

void CMutator::ChangeEncoding(CFuzzRandom& rng, std::string& data) const
{
    static const std::string kBom = "\xEF\xBB\xBF";
    switch (rng.Below(7))
    {
    case 0:
        data.insert(0, kBom);
        break;
    case 1:
        if (data.compare(0, 3, kBom) == 0)
            data.erase(0, 3);
        else
            data.insert(0, kBom + kBom);
        break;
    case 2:
        data = "\xFF\xFE" + ToUtf16(data, false);
        break;
    case 3:
        data = (rng.Percent(50) ? "\xFE\xFF" : "") + ToUtf16(data, true);
        break;
    case 4:
        data = ToUtf16(data, false);
        break;
    case 5:
        data.insert(0, rng.Percent(50) ? std::string("\xFF\xFE\x00\x00", 4) : std::string("\x00\x00\xFE\xFF", 4));
        break;
    default:
    {
        const std::string decl = std::string("<?xml version=\"1.0\" encoding=\"") + Pick(rng, kEncodingNames) + "\"?>";
        const size_t posDecl = data.find("<?xml ");
        const size_t posDeclEnd = posDecl == std::string::npos ? std::string::npos : data.find("?>", posDecl);
        if (posDeclEnd != std::string::npos)
            data.replace(posDecl, posDeclEnd + 2 - posDecl, decl);
        else
            data.insert(0, decl);
        break;
    }
    }
}

void CMutator::BadUtf8(CFuzzRandom& rng, std::string& data) const
{
    const char* psz = Pick(rng, kBadUtf8);
    const std::string sequence = *psz ? std::string(psz) : std::string(1, '\0');
    const size_t pos = rng.Percent(50) ? PositionAfter(rng, data, rng.Percent(50) ? '"' : '>')
                                       : rng.Below(data.size() + 1);
    data.insert(std::min(pos, data.size()), sequence);
}

void CMutator::InsertDoctype(CFuzzRandom& rng, std::string& data) const
{
    std::string doctype = Pick(rng, kDoctypes);
    // Named after the document element, where there is one.
    const size_t posRoot = data.find_first_of("<", data.find("?>") == std::string::npos ? 0 : data.find("?>"));
    if (posRoot != std::string::npos && rng.Percent(70))
    {
        size_t nameEnd = posRoot + 1;
        while (nameEnd < data.size() && isalnum(static_cast<unsigned char>(data[nameEnd])))
            ++nameEnd;
        if (nameEnd > posRoot + 1)
            doctype.replace(10, 1, data.substr(posRoot + 1, nameEnd - posRoot - 1));
    }
    // Where a scan of the prolog looks, and where it may not.
    const size_t posDecl = data.find("?>");
    size_t pos = 0;
    switch (rng.Below(4))
    {
    case 0:
        pos = posDecl == std::string::npos ? 0 : posDecl + 2;
        break;
    case 1:
        doctype = "<!-- c -->\r\n\t " + doctype;
        pos = posDecl == std::string::npos ? 0 : posDecl + 2;
        break;
    case 2:
        pos = 0;
        break;
    default:
        pos = rng.Below(data.size() + 1);
        break;
    }
    data.insert(std::min(pos, data.size()), doctype);
    // Use the entity somewhere.
    if (doctype.find("ENTITY x") != std::string::npos || doctype.find("ENTITY % p \"") != std::string::npos)
    {
        const std::string ref = "&x;";
        size_t begin = 0, end = 0;
        if (rng.Percent(50) && FindAttributeValue(rng, data, begin, end) && begin > pos + doctype.size())
            data.replace(begin, end - begin, ref);
        else
        {
            const size_t posText = data.find('>', pos + doctype.size());
            if (posText != std::string::npos)
                data.insert(posText + 1, ref);
        }
    }
}

void CMutator::ChangeLineEnds(CFuzzRandom& rng, std::string& data) const
{
    std::string out;
    out.reserve(data.size() + data.size() / 8);
    const size_t variant = rng.Below(3);
    for (size_t i = 0; i < data.size(); ++i)
    {
        const char ch = data[i];
        if (variant == 0 && ch == '\n')
            out += "\r\n";
        else if (variant == 1 && ch == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
            continue;
        else if (variant == 2 && ch == '\n')
            out += '\r';
        else
            out += ch;
    }
    data.swap(out);
}
