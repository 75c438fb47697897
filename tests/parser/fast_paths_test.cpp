// The fast paths of the parser against plain character-by-character
// references: the entity decoder (which searches for "&" and copies whole
// runs) and the content skip (which jumps to the next "<" instead of reading
// tokens).  Random texts mix ASCII, markup, references, zero bytes and bytes
// of 0x80 and above, so that multibyte characters whose trail bytes are "<"
// or "&" (Shift-JIS, GBK) and characters cut short by the end or by a zero
// byte all occur, in every encoding.
#include <gtest/gtest.h>

#include <strings.h>

#include <cctype>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "internals.h"

using namespace xml_internal;

namespace {

class FastPathTest : public ::testing::Test {
protected:
    void TearDown() override { XMLNode::setGlobalOptions(XMLNode::charEncodingUTF8, 1, 1, 1); }
};

const XMLNode::XMLCharEncoding kEncodings[] = {
    XMLNode::charEncodingUTF8, XMLNode::charEncodingLegacy, XMLNode::charEncodingShiftJIS,
    XMLNode::charEncodingGB2312, XMLNode::charEncodingGBK};

struct Rng {
    uint64_t s;
    unsigned below(unsigned n) {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>((s >> 33) % n);
    }
};

// Pieces that random texts are made of.
const char* const kPieces[] = {"a",
                               "b",
                               " ",
                               "\n",
                               "<",
                               ">",
                               "/",
                               "=",
                               "'",
                               "\"",
                               "&",
                               "&amp;",
                               "&LT;",
                               "&gt",
                               "&#65;",
                               "&#x4a;",
                               "&#300;",
                               "&#;",
                               "&#1a;",
                               "&quot;",
                               "&apos;",
                               "&#233;",
                               "&#128;",
                               "&#x7ff;",
                               "&#x20AC;",
                               "&#xFFFF;",
                               "&#x1F600;",
                               "&#1114111;",
                               "&#xD800;",
                               "&#xdfff;",
                               "&#x110000;",
                               "<!--",
                               "-->",
                               "<![CDATA[",
                               "]]>",
                               "</",
                               "<?",
                               "/>",
                               "\x83<",
                               "\x81&",
                               "\xE0<",
                               "\xC3\xA9",
                               "\xE6\x97\xA5",
                               "\xF0\x9F\x98\x80",
                               "\xA1\xA1",
                               "\xFF",
                               "\x80",
                               "\xC2",
                               "\xE0",
                               "\xF0",
                               "\xF4",
                               "\xF5",
                               "&lt;&amp;",
                               "&quot;x&gt;",
                               "&aPos;",
                               "xyzxyzxyzxyzxyzxyzxyzxyzxyzxyzxyz"};

std::string randomText(Rng& r, unsigned pieces) {
    std::string s;
    for (unsigned i = 0; i < pieces; i++) s += kPieces[r.below(sizeof kPieces / sizeof *kPieces)];
    return s;
}

// The decoder as a plain walk, one character at a time.  A numeric reference
// is one byte of its value (0 to 255), except in UTF-8 mode, where it is the
// UTF-8 sequence of any value up to 0x10FFFF that is not a surrogate.
int referenceDecode(const char* p, int remain, std::string* out, XMLError* error) {
    if (remain > 2 && p[1] == '#') {
        int i = 2;
        unsigned base = 10;
        if (p[2] == 'x' || p[2] == 'X') {
            base = 16;
            i = 3;
        }
        uint64_t value = 0;
        bool huge = false;
        for (;; i++) {
            if (i >= remain) {
                *error = errorUnknownCharacterEntity;
                return 0;
            }
            const unsigned char b = static_cast<unsigned char>(p[i]);
            if (b == ';') break;
            unsigned digit;
            if (b >= '0' && b <= '9')
                digit = b - '0';
            else if (base == 16 && b >= 'a' && b <= 'f')
                digit = b - 'a' + 10;
            else if (base == 16 && b >= 'A' && b <= 'F')
                digit = b - 'A' + 10;
            else {
                *error = errorUnknownCharacterEntity;
                return 0;
            }
            value = value * base + digit;
            if (value > 0xFFFFFFFFu) huge = true;
            if (huge) value = 0;
        }
        if (XML_ByteTable != XML_utf8ByteTable) {
            if (huge || value > 255) {
                *error = errorCharacterCodeAbove255;
                return 0;
            }
            *out += static_cast<char>(value);
            return i + 1;
        }
        if (huge || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            *error = errorCharacterCodeAbove255;
            return 0;
        }
        // The UTF-8 sequence, bit by bit: the number of bytes, then six bits
        // per continuation byte from the lowest up.
        const int n = value < 0x80 ? 1 : value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
        if (n == 1) {
            *out += static_cast<char>(value);
            return i + 1;
        }
        std::string seq(static_cast<size_t>(n), '\0');
        uint64_t v = value;
        for (int j = n - 1; j > 0; j--) {
            seq[static_cast<size_t>(j)] = static_cast<char>(0x80 + (v % 64));
            v /= 64;
        }
        const unsigned leads[] = {0, 0, 0xC0, 0xE0, 0xF0};
        seq[0] = static_cast<char>(leads[n] + v);
        *out += seq;
        return i + 1;
    }
    for (const EntityRow* row = XMLEntities; row->entity; ++row) {
        if (row->length <= remain &&
            strncasecmp(p, row->entity, static_cast<size_t>(row->length)) == 0) {
            *out += row->character;
            return row->length;
        }
    }
    *error = errorUnknownCharacterEntity;
    return 0;
}

// Decoded bytes, or "!" followed by the error code.
std::string reference(const char* source, int length) {
    if (length <= 0 || *source == 0) return std::string();
    const char* const end = source + length;
    std::string out;
    const char* p = source;
    while (p < end && *p) {
        if (*p == '&') {
            XMLError error = errorNone;
            int k = referenceDecode(p, static_cast<int>(end - p), &out, &error);
            if (!k) return "!" + std::to_string(error);
            p += k;
        } else {
            const char* q = stepCharacter(XML_ByteTable, p);
            if (q > end) q = end;
            out.append(p, q);
            p = q;
        }
    }
    return std::string(out.c_str());  // "&#;" writes a zero byte: the string ends there
}

// Room for the decoder that writes where it is told: a buffer that refuses
// the first `refusals` requests, and otherwise gives exactly the size asked
// for (the sanitizers see any byte written past it).
struct Room {
    int refusals = 0;
    std::vector<std::unique_ptr<char[]>> given;
    static char* allocate(void* context, size_t size) {
        Room* r = static_cast<Room*>(context);
        if (r->refusals > 0) {
            r->refusals--;
            return nullptr;
        }
        r->given.emplace_back(new char[size]);
        return r->given.back().get();
    }
};

std::string fast(const char* source, int length) {
    XML x = {source, source, 0, 0, errorNone, nullptr, 0, 1};
    size_t decoded = 0;
    char* s = fromXMLString(source, length, &x, &decoded);
    // Bytes without a zero byte, as the tokenizer hands them over, decode the
    // same way through the entries that do not look for one: to the heap,
    // into room that is given at once, and into room that is refused once
    // (the decoder then measures and asks again) or every time.
    if (length > 0 && !std::memchr(source, 0, static_cast<size_t>(length))) {
        XML y = {source, source, 0, 0, errorNone, nullptr, 0, 1};
        size_t tokenDecoded = 0;
        char* t = fromXMLTokenText(source, length, &y, &tokenDecoded);
        EXPECT_EQ(y.error, x.error);
        EXPECT_EQ(t == nullptr, s == nullptr);
        if (s && t) {
            EXPECT_STREQ(t, s);
            EXPECT_EQ(tokenDecoded, decoded);
        }
        std::free(t);
        for (int refusals : {0, 1, 2}) {
            Room room;
            room.refusals = refusals;
            XML z = {source, source, 0, 0, errorNone, nullptr, 0, 1};
            size_t intoDecoded = 0;
            char* u = fromXMLTokenTextInto(source, length, &z, Room::allocate, &room, &intoDecoded);
            if (refusals == 2 && s) {
                EXPECT_EQ(u, nullptr);
                EXPECT_EQ(z.error, errorNoXMLData);
                continue;
            }
            EXPECT_EQ(z.error, x.error) << "refused " << refusals;
            EXPECT_EQ(u == nullptr, s == nullptr) << "refused " << refusals;
            if (s && u) {
                EXPECT_STREQ(u, s) << "refused " << refusals;
                EXPECT_EQ(intoDecoded, decoded) << "refused " << refusals;
            }
        }
    }
    if (!s) return "!" + std::to_string(x.error);
    EXPECT_EQ(x.error, errorNone);
    EXPECT_EQ(decoded, std::strlen(s));
    std::string out(s);
    std::free(s);
    return out;
}

// Short texts, and long ones that the decoder's fast lane for escaped text
// (32 bytes at a time, while 64 remain) reads through: every way it has of
// handing a reference or a run over to the general way occurs in them.
TEST_F(FastPathTest, DecoderMatchesCharacterWalk) {
    Rng r{42};
    const struct {
        unsigned fewest, choices;  // pieces per text: fewest + below(choices)
        int rounds;
    } sizes[] = {{1, 12, 4000}, {20, 60, 500}};
    for (XMLNode::XMLCharEncoding e : kEncodings) {
        XMLNode::setGlobalOptions(e, 1, 1, 1);
        for (const auto& size : sizes)
            for (int round = 0; round < size.rounds; round++) {
                std::string text = randomText(r, size.fewest + r.below(size.choices));
                // Sometimes a zero byte inside the decoded length.
                if (r.below(8) == 0)
                    text.insert(r.below(static_cast<unsigned>(text.size()) + 1), 1, '\0');
                const int length =
                    static_cast<int>(r.below(static_cast<unsigned>(text.size()) + 1));
                SCOPED_TRACE(::testing::Message()
                             << "encoding " << e << " text " << ::testing::PrintToString(text)
                             << " length " << length);
                ASSERT_EQ(fast(text.c_str(), length), reference(text.c_str(), length));
            }
    }
}

// Long texts with many references, every one of them valid.
TEST_F(FastPathTest, DecoderManyReferences) {
    Rng r{99};
    for (XMLNode::XMLCharEncoding e : kEncodings) {
        XMLNode::setGlobalOptions(e, 1, 1, 1);
        for (int round = 0; round < 300; round++) {
            // Valid references only, so that the decoding goes through all of
            // them (up to one wrong piece put in at random in some rounds).
            // The last ones are characters only in UTF-8 mode.
            static const char* const valid[] = {"a",
                                                " ",
                                                "<",
                                                "&amp;",
                                                "&LT;",
                                                "&#65;",
                                                "&#x4a;",
                                                "&#0;",
                                                "\xC3\xA9",
                                                "\x83<",
                                                "\xE0<",
                                                "\x81&",
                                                "\xF0\x9F\x98\x80",
                                                "&quot;",
                                                "&apos;",
                                                "&gt;",
                                                "&aPos;",
                                                "\xC2",
                                                "\xE0",
                                                "\xF0",
                                                "\xF5",
                                                "\x80",
                                                "\xE2\x82\xAC &lt;",
                                                "xyzxyzxyzxyzxyzxyzxyzxyzxyzxyzxyzxyzxyz",
                                                "&#233;",
                                                "&#x20ac;",
                                                "&#128512;",
                                                "&#x10FFFF;"};
            static const char* const wrong[] = {"&",        "&gt",     "&#300;",
                                                "&#xD800;", "&bogus;", "&#12a;"};
            const unsigned choices = e == XMLNode::charEncodingUTF8 ? 28 : 25;
            std::string text;
            for (unsigned n = 20 + r.below(200); n > 0; n--) text += valid[r.below(choices)];
            if (r.below(3) == 0)
                text.insert(r.below(static_cast<unsigned>(text.size()) + 1), wrong[r.below(6)]);
            const int length = static_cast<int>(text.size()) - static_cast<int>(r.below(4));
            SCOPED_TRACE(::testing::Message()
                         << "encoding " << e << " text " << ::testing::PrintToString(text)
                         << " length " << length);
            ASSERT_EQ(fast(text.c_str(), length), reference(text.c_str(), length));
        }
    }
    std::string many;
    for (int i = 0; i < 100; i++) many += (i % 3 ? "&lt;x&#x20AC;" : "&#65;&#0;");
    EXPECT_EQ(fast(many.c_str(), static_cast<int>(many.size())),
              reference(many.c_str(), static_cast<int>(many.size())));
}

// Named entities in every mix of letter case, and with a letter replaced by
// a byte that differs from it only in bits that case folding must not touch
// (0x80 set, or a neighbour of the capitals such as "@" and "["), both with
// eight or more bytes left after the "&" and with fewer.
TEST_F(FastPathTest, NamedEntitiesIgnoreAsciiCaseOnly) {
    for (const EntityRow* row = XMLEntities; row->entity; ++row) {
        const std::string entity = row->entity;
        std::vector<std::string> variants;
        for (unsigned bits = 0; bits < 64; bits++) {
            std::string v = entity;
            for (size_t i = 0; i < v.size() && i < 6; i++)
                if ((bits >> i) & 1 && std::isalpha(static_cast<unsigned char>(v[i])))
                    v[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(v[i])));
            variants.push_back(v);
        }
        for (size_t i = 1; i < entity.size(); i++) {
            for (int change : {0x80, 0xA0, -0x21, -0x1F, -0x20 - 1, 0x20 - 0x40}) {
                std::string v = entity;
                v[i] = static_cast<char>(static_cast<unsigned char>(v[i]) + change);
                variants.push_back(v);
            }
        }
        for (const std::string& v : variants) {
            for (const char* after : {"", "x", "xxxxxxxx"}) {
                const std::string text = "a" + v + after;
                SCOPED_TRACE(::testing::PrintToString(text));
                EXPECT_EQ(fast(text.c_str(), static_cast<int>(text.size())),
                          reference(text.c_str(), static_cast<int>(text.size())));
            }
        }
    }
}

// Long runs go through the eight-byte steps of the character walk.
TEST_F(FastPathTest, DecoderLongRuns) {
    const std::string run(100, 'x');
    const std::string text = run + "\xC3\xA9" + run + "&amp;" + run + "\x83&" + run;
    for (XMLNode::XMLCharEncoding e : kEncodings) {
        XMLNode::setGlobalOptions(e, 1, 1, 1);
        for (int length :
             {0, 7, 8, 9, 100, 101, 102, 103, 206, 207, 300, 400, static_cast<int>(text.size())})
            EXPECT_EQ(fast(text.c_str(), length), reference(text.c_str(), length))
                << "encoding " << e << " length " << length;
    }
}

// Escaped text with a lead byte one, two and three bytes before an "&" that
// it claims (in UTF-8: "\xC2", "\xE0", "\xF0") or that it leaves alone
// ("\xC1", "\xDF", "\xEF", "\xF5"), after runs of 0 to 6 letters so that the
// "&" falls at every offset of the 32 bytes the fast lane searches at once,
// and cut at many lengths, so that the end of the lane and of the source
// fall everywhere.
TEST_F(FastPathTest, DecoderLeadBytesBeforeReferences) {
    // A byte, then that many letters before the "&".
    const struct {
        const char* lead;
        size_t letters;
    } before[] = {{"\xC2", 0}, {"\xE0", 1}, {"\xF0", 2}, {"\xC1", 0},
                  {"\xDF", 1}, {"\xEF", 2}, {"\xF5", 2}, {"\xE2\x82\xAC", 0}};
    std::string text;
    for (int shift = 0; shift < 34; shift++)
        for (const auto& b : before)
            text += std::string(static_cast<size_t>(shift % 7), 'w') + b.lead +
                    std::string(b.letters, 'a') + "&amp;x&lt;";
    for (XMLNode::XMLCharEncoding e : kEncodings) {
        XMLNode::setGlobalOptions(e, 1, 1, 1);
        for (int length = 0; length <= static_cast<int>(text.size()); length += 1 + length % 5)
            ASSERT_EQ(fast(text.c_str(), length), reference(text.c_str(), length))
                << "encoding " << e << " length " << length;
    }
}

bool mattersInContent(XMLTokenTypeTag t) {
    return t == openAngleToken || t == closingTagToken || t == declarationToken ||
           t == clearTagToken || t == endOfTextToken;
}

// From every token boundary of a random text, the content skip lands on the
// first token that content mode does not pass over.
TEST_F(FastPathTest, ContentSkipLandsOnNextMarkupToken) {
    Rng r{7};
    for (XMLNode::XMLCharEncoding e : kEncodings) {
        XMLNode::setGlobalOptions(e, 1, 1, 1);
        for (int round = 0; round < 2000; round++) {
            std::string text = randomText(r, 1 + r.below(30));
            if (r.below(4) == 0) text += std::string(20 + r.below(20), 'w');
            const char* doc = text.c_str();
            SCOPED_TRACE(::testing::Message()
                         << "encoding " << e << " text " << ::testing::PrintToString(text));
            XML walk = {doc, doc, 0, 0, errorNone, nullptr, 0, 1};
            for (int guard = 0; guard < 200; guard++) {
                // Reference: read tokens until one that content mode acts on.
                XML ref = walk;
                int length;
                XMLTokenTypeTag type;
                TokenRef token;
                do token = GetNextToken(&ref, &length, &type);
                while (!mattersInContent(type));

                XML x = walk;
                skipToMarkup(&x, XML_ByteTable);
                int fastLength;
                XMLTokenTypeTag fastType;
                TokenRef fastToken = GetNextToken(&x, &fastLength, &fastType);
                ASSERT_EQ(fastType, type) << "from offset " << walk.index;
                ASSERT_EQ(fastToken.start, token.start) << "from offset " << walk.index;
                ASSERT_EQ(x.index, ref.index) << "from offset " << walk.index;
                ASSERT_EQ(fastToken.clearTag, token.clearTag);

                GetNextToken(&walk, &length, &type);  // on to the next boundary
                if (type == endOfTextToken) break;
            }
        }
    }
}

}  // namespace
