// The XML reading interface, run against whichever backend the build uses
// (libxml2 natively, MSXML under Wine): the same documents, the same events,
// the same refusals.

#include <gtest/gtest.h>

#include <chrono>

#include "base/errors.h"
#include "contract/xml_reader.h"
#include "contract/xml_writer.h"
#include "soap_test_support.h"

namespace tindrel {
namespace {

using testing::ReadTree;
using testing::XmlNode;

// The message of the ProtocolError that parsing `doc` throws ("" if none).
std::string Refusal(std::string_view doc) {
  try {
    ReadTree(doc);
  } catch (const ProtocolError& e) {
    return e.what();
  }
  return "";
}

TEST(XmlReader, ReportsBackend) {
  const std::string_view name = XmlBackendName();
  std::printf("XML backend: %.*s\n", static_cast<int>(name.size()), name.data());
#ifdef _WIN32
  EXPECT_TRUE(name.starts_with("Msxml2.DOMDocument.")) << name;
#else
  EXPECT_TRUE(name.starts_with("libxml2")) << name;
#endif
}

TEST(XmlReader, ResolvesNamespacesNotPrefixes) {
  const XmlNode root = ReadTree(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- comment --><?pi x?>"
      "<x:R xmlns:x=\"urn:a\" xmlns=\"urn:d\"><x:A/><B/><y:C xmlns:y=\"urn:a\"/>"
      "<D xmlns=\"\"/></x:R>");
  EXPECT_EQ(root.ns, "urn:a");
  EXPECT_EQ(root.local, "R");
  ASSERT_EQ(root.children.size(), 4u);
  EXPECT_EQ(root.children[0].ns, "urn:a");
  EXPECT_EQ(root.children[1].ns, "urn:d");
  EXPECT_EQ(root.children[2].ns, "urn:a");
  EXPECT_EQ(root.children[2].local, "C");
  EXPECT_EQ(root.children[3].ns, "");
}

TEST(XmlReader, FindsXsiNilOnlyInTheXsiNamespace) {
  const XmlNode root = ReadTree(
      "<R xmlns:i=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:n=\"urn:other\">"
      "<A i:nil=\"true\"/><B n:nil=\"true\"/><C nil=\"true\"/><D i:nil=\"false\">x</D></R>");
  ASSERT_EQ(root.children.size(), 4u);
  EXPECT_EQ(root.children[0].nil, "true");
  EXPECT_FALSE(root.children[1].nil);
  EXPECT_FALSE(root.children[2].nil);
  EXPECT_EQ(root.children[3].nil, "false");
  EXPECT_EQ(root.children[3].text, "x");
}

TEST(XmlReader, DeliversTextExactly) {
  const XmlNode root = ReadTree(
      "<R><A>  blanke  </A><B>a&amp;b&lt;c&gt;d&quot;&apos;</B><C>&#xE6;&#248;&#x1D11E;</C>"
      "<D><![CDATA[<ikke markup> & ]]>etter</D><E>linje\r\nneste&#xD;</E><F>Sølvgrå</F>"
      "<G>   </G></R>");
  ASSERT_EQ(root.children.size(), 7u);
  EXPECT_EQ(root.children[0].text, "  blanke  ");
  EXPECT_EQ(root.children[1].text, "a&b<c>d\"'");
  EXPECT_EQ(root.children[2].text, "æø\xF0\x9D\x84\x9E");
  EXPECT_EQ(root.children[3].text, "<ikke markup> & etter");
  EXPECT_EQ(root.children[4].text, "linje\nneste\r");  // the literal CR LF is normalised
  EXPECT_EQ(root.children[5].text, "Sølvgrå");
  EXPECT_EQ(root.children[6].text, "   ");  // white space alone is a value too
}

TEST(XmlReader, ReadsLatin1WhenDeclared) {
  const XmlNode root = ReadTree("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><R>\xE6\xF8\xE5</R>");
  EXPECT_EQ(root.text, "æøå");
}

TEST(XmlReader, RefusesMalformedDocuments) {
  EXPECT_NE(Refusal("<R><A></R>"), "");
  EXPECT_NE(Refusal("<R>"), "");                      // truncated
  EXPECT_NE(Refusal("<R/><S/>"), "");                 // two roots
  EXPECT_NE(Refusal("<R>&undefined;</R>"), "");       // no entity may be declared
#ifndef _WIN32
  // Wine's MSXML drops an undeclared prefix instead; the element then has no
  // namespace, so the binding never takes it for a contract element.
  EXPECT_NE(Refusal("<x:R/>"), "");                   // unbound prefix
#endif
  EXPECT_NE(Refusal("<R>\xFF\xFE</R>"), "");          // not UTF-8
  EXPECT_NE(Refusal("<R>\x01</R>"), "");              // control character
  EXPECT_NE(Refusal("<R>&#1;</R>"), "");
  EXPECT_EQ(Refusal(""), "dokumentet er tomt");
  EXPECT_EQ(Refusal(" \r\n"), "dokumentet er tomt");
  EXPECT_EQ(Refusal("Service Unavailable"), "dokumentet er ikke XML");
  EXPECT_EQ(Refusal(std::string("\xFF\xFE<\0R\0/\0>\0", 10)), "dokumentet er ikke i UTF-8");
  EXPECT_EQ(Refusal(std::string("<\0R\0/\0>\0", 8)), "dokumentet er ikke i UTF-8");
}

TEST(XmlReader, RefusesEveryDoctype) {
  const std::string kRefused = "dokumentet har en DOCTYPE, som ikke er tillatt";
  EXPECT_EQ(Refusal("<!DOCTYPE R><R/>"), kRefused);
  EXPECT_EQ(Refusal("<?xml version=\"1.0\"?>\n<!-- x --><!DOCTYPE R SYSTEM "
                    "\"http://example.invalid/r.dtd\"><R/>"),
            kRefused);
  EXPECT_EQ(Refusal("\xEF\xBB\xBF<!DOCTYPE R [<!ENTITY e \"x\">]><R>&e;</R>"), kRefused);
  // The backend refuses one on its own too, without the prolog check.
  struct Ignore final : IXmlContentHandler {
    void StartElement(const XmlElement&) override {}
    void Characters(std::string_view) override {}
    void EndElement() override {}
  } ignore;
  EXPECT_THROW(detail::ParseXmlWithBackend("<!DOCTYPE R [<!ENTITY e \"x\">]><R>&e;</R>", ignore),
               ProtocolError);
}

TEST(XmlReader, RefusesBillionLaughsAtOnce) {
  std::string doc = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
  doc += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
  for (int i = 2; i <= 9; ++i) {
    doc += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k) doc += "&lol" + std::to_string(i - 1) + ";";
    doc += "\">";
  }
  doc += "]><lolz>&lol9;</lolz>";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Refusal(doc), "dokumentet har en DOCTYPE, som ikke er tillatt");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST(XmlReader, LimitsDepth) {
  auto nested = [](int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<a>";
    for (int i = 0; i < depth; ++i) s += "</a>";
    return s;
  };
  EXPECT_EQ(Refusal(nested(kMaxXmlDepth)), "");
  EXPECT_EQ(Refusal(nested(kMaxXmlDepth + 1)), "elementene er nestet dypere enn 64 nivåer");
  // Far deeper than a parser's own limit: refused (by whichever limit comes
  // first), no stack trouble.
  EXPECT_NE(Refusal(nested(100000)), "");
}

TEST(XmlReader, HandlerExceptionsPropagateUnchanged) {
  struct Thrower final : IXmlContentHandler {
    void StartElement(const XmlElement& e) override {
      if (e.local == "stopp") throw RemoteFault("fra handleren");
    }
    void Characters(std::string_view) override {}
    void EndElement() override {}
  } thrower;
  try {
    ParseXml("<R><a/><stopp/><b/></R>", thrower);
    FAIL() << "no exception";
  } catch (const RemoteFault& e) {
    EXPECT_STREQ(e.what(), "fra handleren");
  }
}

// The writer's output read back by the backend: every text the records can
// hold arrives unchanged, and what XML cannot carry is dropped, never
// producing a malformed document.
TEST(XmlWriter, TextSurvivesTheRoundTrip) {
  const std::string texts[] = {"a & b < c > d", "]]>", "tab\there", "cr\rlf\ncrlf\r\n",
                               "  ends  ", "Ærlig østby på Å", "€𝄞", "\"'", ""};
  for (const std::string& t : texts) {
    std::string doc = "<R>";
    AppendXmlText(doc, t);
    doc += "</R>";
    EXPECT_EQ(ReadTree(doc).text, t) << doc;
  }
}

TEST(XmlWriter, DropsWhatXmlCannotCarry) {
  std::string out;
  AppendXmlText(out, std::string("a\0b\x01\x08\x0B\x0C\x1F" "c", 9));
  EXPECT_EQ(out, "abc");
  out.clear();
  AppendXmlText(out, "x\xEF\xBF\xBEy\xEF\xBF\xBFz");  // U+FFFE, U+FFFF
  EXPECT_EQ(out, "xyz");
  out.clear();
  AppendXmlText(out, "\xC3\xA6\xFF\xC3\x28\xE2\x82\xAC");  // æ, two bad sequences, €
  EXPECT_EQ(out, "\xC3\xA6\xEF\xBF\xBD\xEF\xBF\xBD(\xE2\x82\xAC");
  std::string doc = "<R>" + out + "</R>";
  EXPECT_EQ(ReadTree(doc).text, "æ\xEF\xBF\xBD\xEF\xBF\xBD(€");
}

}  // namespace
}  // namespace tindrel
