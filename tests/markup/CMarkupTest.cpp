#include "markup/CMarkup.h"
#include "base/CodePage.h"

#include <gtest/gtest.h>

#include "support/CaseNames.h"

#include <functional>
#include <string>
#include <vector>

namespace {

const std::string kHeader = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n";

// The tag name as a reader of the text sees it, found without the class's own tokenizer.
std::string NameAt(const std::string& text, int32_t lt) {
    size_t p = static_cast<size_t>(lt) + 1;
    size_t end = text.find_first_of(" \t\r\n/>", p);
    return text.substr(p, end - p);
}

// Checks that every index entry describes the text exactly and that the links form one tree
// in document order holding every entry once.
void ExpectIndexDescribesText(const CMarkup& m) {
    const std::string text = m.GetText();
    const auto& index = m.Index();
    const int used = m.IndexUsed();
    ASSERT_LE(static_cast<size_t>(used), index.size());
    std::vector<int> seen(used, 0);
    for (int i = 1; i < used; ++i) {
        SCOPED_TRACE("entry " + std::to_string(i));
        const ElemPos& e = index[i];
        ASSERT_GE(e.startTagStart, 0);
        ASSERT_LT(static_cast<size_t>(e.endTagEnd), text.size());
        EXPECT_EQ(text[e.startTagStart], '<');
        EXPECT_EQ(text[e.startTagEnd], '>');
        std::string name = NameAt(text, e.startTagStart);
        ASSERT_FALSE(name.empty());
        if (e.IsEmptyElement()) {
            EXPECT_EQ(text[e.endTagStart], '/');
            EXPECT_EQ(e.endTagEnd, e.startTagEnd);
        } else {
            EXPECT_EQ(text.substr(e.endTagStart, 2 + name.size() + 1), "</" + name + ">");
            EXPECT_EQ(e.endTagEnd, e.endTagStart + 2 + static_cast<int32_t>(name.size()));
        }
        int previous = 0;
        for (int c = e.firstChild; c != 0; c = index[c].nextSibling) {
            ASSERT_TRUE(c > 0 && c < used);
            EXPECT_EQ(index[c].parent, i);
            EXPECT_GT(index[c].startTagStart, e.startTagEnd);
            EXPECT_LT(index[c].endTagEnd, e.endTagStart);
            if (previous != 0) {
                EXPECT_LT(index[previous].endTagEnd, index[c].startTagStart);
            }
            ++seen[c];
            previous = c;
        }
    }
    if (used > 1) {
        ASSERT_NE(index[0].firstChild, 0);
        EXPECT_EQ(index[index[0].firstChild].parent, 0);
        EXPECT_EQ(index[index[0].firstChild].nextSibling, 0);
        ++seen[index[0].firstChild];
    }
    for (int i = 1; i < used; ++i) {
        EXPECT_EQ(seen[i], 1) << "entry " << i << " is not linked exactly once";
    }
}

// Walks two documents' trees side by side: a built document must index exactly what a fresh
// parse of its text indexes.
void ExpectSameTree(const CMarkup& a, const CMarkup& b) {
    const auto& x = a.Index();
    const auto& y = b.Index();
    std::function<void(int, int)> walk = [&](int i, int j) {
        for (; i != 0 || j != 0; i = x[i].nextSibling, j = y[j].nextSibling) {
            ASSERT_TRUE(i != 0 && j != 0) << "different number of siblings";
            EXPECT_EQ(x[i].startTagStart, y[j].startTagStart);
            EXPECT_EQ(x[i].startTagEnd, y[j].startTagEnd);
            EXPECT_EQ(x[i].endTagStart, y[j].endTagStart);
            EXPECT_EQ(x[i].endTagEnd, y[j].endTagEnd);
            walk(x[i].firstChild, y[j].firstChild);
        }
    };
    walk(x[0].firstChild, y[0].firstChild);
}

void ExpectConsistentAfterReparse(const CMarkup& built) {
    ExpectIndexDescribesText(built);
    CMarkup reparsed;
    ASSERT_TRUE(reparsed.SetText(built.GetText())) << reparsed.GetError();
    ExpectSameTree(built, reparsed);
}

// The text of the only child of a wrapper element.
std::string ContentOf(const std::string& element) {
    CMarkup m;
    EXPECT_TRUE(m.SetText("<R>" + element + "</R>")) << m.GetError();
    EXPECT_TRUE(m.FindNextElement());
    EXPECT_TRUE(m.FindNextChildElement());
    return m.GetChildText();
}

} // namespace

// ---------------------------------------------------------------------------------------------

struct ParseCase {
    const char* text;
    bool parses;
    const char* error;
};

class CMarkupParse : public testing::TestWithParam<ParseCase> {};

TEST_P(CMarkupParse, ResultAndErrorText) {
    const ParseCase& c = GetParam();
    CMarkup m;
    EXPECT_EQ(m.SetText(c.text), c.parses);
    EXPECT_EQ(m.GetError(), c.error);
    EXPECT_EQ(m.GetText(), c.text);
    EXPECT_EQ(m.HasRoot(), c.parses);
    if (!c.parses) {
        // A document with any error has no elements at all.
        EXPECT_EQ(m.IndexUsed(), 1);
        EXPECT_FALSE(m.FindNextElement());
    } else {
        ExpectIndexDescribesText(m);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CMarkupParse,
    testing::Values(ParseCase{"", false, ""},
                    ParseCase{"no markup at all", false, "Element tag not found"},
                    ParseCase{"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n", false,
                              "Element tag not found"},
                    ParseCase{"</A>", false, "Element tag not found"},
                    ParseCase{"<", false, "Abrupt end within tag"},
                    ParseCase{"<A><   ", false, "Abrupt end within tag"},
                    ParseCase{"<\"A\">", false, "Tag starts with quote"},
                    ParseCase{"<A><'B'/></A>", false, "Tag starts with quote"},
                    ParseCase{"<!-- never closed <A/>", false, "Invalid node"},
                    ParseCase{"<?pi never closed <A/>", false, "Invalid node"},
                    ParseCase{"<A><![CDATA[x</A>", false, "Invalid node"},
                    ParseCase{"<!DOCTYPE A [ <!ELEMENT A ANY> <A/>", false, "Invalid node"},
                    ParseCase{"<!DOCTYPE A \"quote never closed> <A/>", false, "Invalid node"},
                    ParseCase{"<A", false, "End of tag not found"},
                    ParseCase{"<A><B x=\"1\"", false, "End of tag not found"},
                    ParseCase{"<A>text", false, "End tag of A element not found"},
                    ParseCase{"<A><B/>", false, "End tag of A element not found"},
                    ParseCase{"<A><B>", false, "End tag of B element not found"},
                    ParseCase{"<A><=></A>", false, "Expecting end tag of element A"},
                    ParseCase{"<A><></A>", false, "Expecting end tag of element A"},
                    ParseCase{"<A></B>", false, "End tag does not correspond to A"},
                    ParseCase{"<DOC><A></A></DOX>", false, "End tag does not correspond to DOC"},
                    ParseCase{"<A></a>", false, "End tag does not correspond to A"},
                    ParseCase{"<A></", false, "End tag not completed for element A"},
                    ParseCase{"<A></A", false, "End tag not completed for element A"},
                    ParseCase{"<A></A \">\"", false, "End tag not completed for element A"},
                    ParseCase{"<A></A '>", false, "End tag not completed for element A"},
                    ParseCase{"<A/>", true, ""}, ParseCase{"<A></A>", true, ""},
                    ParseCase{"<A x=\"1\" y='2'><B/></A>", true, ""},
                    ParseCase{"<A></A>text after the root is <<< not examined", true, ""},
                    ParseCase{
                        "<?xml version=\"1.0\"?>\r\n<!-- c -->\r\n<!DOCTYPE A [<!ELEMENT A ANY>]>"
                        "<A><!-- <B> --><?pi <C>?><![CDATA[<D>]]></A>",
                        true, ""}),
    NameByIndexAndField<&ParseCase::text>());

TEST(CMarkupParse, DeepNestingFailsWithoutExhaustingTheStack) {
    std::string text;
    for (int i = 0; i < 200000; ++i) {
        text += "<a>";
    }
    CMarkup m;
    EXPECT_FALSE(m.SetText(text));
    EXPECT_EQ(m.GetError(), "End tag of a element not found");

    for (int i = 0; i < 200000; ++i) {
        text += "</a>";
    }
    ASSERT_TRUE(m.SetText(text));
    EXPECT_EQ(m.IndexUsed(), 200001);
}

TEST(CMarkupParse, BlanksAroundTagNamesAreAllowed) {
    CMarkup m;
    ASSERT_TRUE(m.SetText("< A >x</ A\r\n>")) << m.GetError();
    ASSERT_TRUE(m.FindNextElement("A"));
    EXPECT_EQ(m.Index()[1].endTagEnd, 12);
}

TEST(CMarkupParse, NullTextIsAnEmptyDocument) {
    CMarkup m;
    ASSERT_TRUE(m.SetText("<A/>"));
    EXPECT_FALSE(m.SetText(static_cast<const char*>(nullptr)));
    EXPECT_EQ(m.GetText(), "");
    EXPECT_FALSE(m.HasRoot());
}

TEST(CMarkupParse, ParsingAgainResetsThePosition) {
    CMarkup m;
    ASSERT_TRUE(m.SetText("<A><B/></A>"));
    ASSERT_TRUE(m.FindNextElement());
    ASSERT_TRUE(m.EnterElement());
    ASSERT_TRUE(m.FindNextElement("B"));
    ASSERT_TRUE(m.SetText("<X><Y/></X>"));
    EXPECT_EQ(m.GetTagName(), "");
    EXPECT_FALSE(m.LeaveElement());
    EXPECT_TRUE(m.FindNextElement("X"));
}

// ---------------------------------------------------------------------------------------------

// One navigation step and the position it must leave.
struct NavStep {
    enum Op { Find, FindChild, Enter, Leave } op;
    const char* name;
    bool result;
    const char* current;
    const char* child;
};

TEST(CMarkupNavigation, StepsThroughSiblingsChildrenAndLevels) {
    CMarkup m;
    ASSERT_TRUE(m.SetText("<DOC><X>1</X><Y>2</Y><X>3</X><Z><W>4</W><V>5</V></Z></DOC>"));
    const NavStep steps[] = {
        {NavStep::Enter, nullptr, false, "", ""},      // nothing is current yet
        {NavStep::Leave, nullptr, false, "", ""},      // already at the root's level
        {NavStep::Find, "X", false, "", ""},           // the root is not named X
        {NavStep::Find, nullptr, true, "DOC", ""},     // any name finds the root
        {NavStep::Find, nullptr, false, "DOC", ""},    // the root has no sibling
        {NavStep::Enter, nullptr, true, "", ""},       // level of DOC's children
        {NavStep::Find, "x", false, "", ""},           // names are case-sensitive
        {NavStep::Find, "X", true, "X", ""},           // first X
        {NavStep::Find, "X", true, "X", ""},           // second X, skipping Y
        {NavStep::Find, "Y", false, "X", ""},          // never wraps around
        {NavStep::FindChild, nullptr, false, "X", ""}, // X has no children
        {NavStep::Find, "", true, "Z", ""},            // empty name matches anything
        {NavStep::FindChild, "V", true, "Z", "V"},     // second child by name
        {NavStep::FindChild, "W", false, "Z", "V"},    // the first child lies behind it
        {NavStep::Enter, nullptr, true, "V", ""},      // the child position becomes current
        {NavStep::Find, nullptr, false, "V", ""},      // nothing after V
        {NavStep::Leave, nullptr, true, "Z", "V"},     // Z current again, V its child
        {NavStep::Leave, nullptr, true, "DOC", "Z"},   // back at the root
        {NavStep::Leave, nullptr, false, "DOC", "Z"},  // nothing above the root
        {NavStep::FindChild, "Y", false, "DOC", "Z"},  // children after Z only
        {NavStep::Enter, nullptr, true, "Z", ""},      // enter through the child position
        {NavStep::FindChild, nullptr, true, "Z", "W"}, // first child of the current element
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const NavStep& s = steps[i];
        SCOPED_TRACE("step " + std::to_string(i));
        bool result = false;
        switch (s.op) {
        case NavStep::Find:
            result = m.FindNextElement(s.name);
            break;
        case NavStep::FindChild:
            result = m.FindNextChildElement(s.name);
            break;
        case NavStep::Enter:
            result = m.EnterElement();
            break;
        case NavStep::Leave:
            result = m.LeaveElement();
            break;
        }
        EXPECT_EQ(result, s.result);
        EXPECT_EQ(m.GetTagName(), s.current);
        EXPECT_EQ(m.GetChildTagName(), s.child);
    }
}

TEST(CMarkupNavigation, ChildSearchWithoutACurrentElementSelectsTheFirstOfTheLevel) {
    CMarkup m;
    ASSERT_TRUE(m.SetText("<DOC><A><N>first</N></A><B><N>second</N></B></DOC>"));
    ASSERT_TRUE(m.FindNextElement());
    ASSERT_TRUE(m.EnterElement());
    ASSERT_TRUE(m.FindNextChildElement("N"));
    EXPECT_EQ(m.GetTagName(), "A");
    EXPECT_EQ(m.GetChildText(), "first");
    // Finding the next element clears the child position.
    ASSERT_TRUE(m.FindNextElement("B"));
    EXPECT_EQ(m.GetChildText(), "");
    ASSERT_TRUE(m.FindNextChildElement("N"));
    EXPECT_EQ(m.GetChildText(), "second");
}

TEST(CMarkupNavigation, EmptyDocumentFindsNothing) {
    CMarkup m;
    EXPECT_FALSE(m.FindNextElement());
    EXPECT_FALSE(m.FindNextChildElement());
    EXPECT_FALSE(m.HasRoot());
    EXPECT_EQ(m.GetChildText(), "");
}

// ---------------------------------------------------------------------------------------------

struct ContentCase {
    const char* element;
    const char* text;
};

class CMarkupContent : public testing::TestWithParam<ContentCase> {};

TEST_P(CMarkupContent, ReadsTheTextOfAnElement) {
    EXPECT_EQ(ContentOf(GetParam().element), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CMarkupContent,
    testing::Values(ContentCase{"<A>plain</A>", "plain"},
                    ContentCase{"<A>  spaced \r\nlines\t</A>", "  spaced \r\nlines\t"},
                    ContentCase{"<A>&lt;&amp;&gt;&apos;&quot;</A>", "<&>'\""},
                    ContentCase{"<A>a & b &unknown; &#65; &amp</A>", "a & b &unknown; &#65; &amp"},
                    ContentCase{"<A>x&lt</A>", "x&lt"}, ContentCase{"<A>&amp;lt;</A>", "&lt;"},
                    ContentCase{"<A><![CDATA[<&amp;>]]></A>", "<&amp;>"},
                    ContentCase{"<A> \r\n <![CDATA[kept]]>ignored</A>", "kept"},
                    ContentCase{"<A><![CDATA[]]></A>", ""},
                    ContentCase{"<A>pre<![CDATA[&lt;]]></A>", "pre<![CDATA[<]]>"},
                    ContentCase{"<A/>", ""}, ContentCase{"<A></A>", ""},
                    ContentCase{"<A>text<B>child</B>more</A>", ""}),
    NameByIndexAndField<&ContentCase::element>());

// ---------------------------------------------------------------------------------------------

struct EscapeCase {
    const char* data;
    const char* written;
};

class CMarkupEscape : public testing::TestWithParam<EscapeCase> {};

TEST_P(CMarkupEscape, WritesEscapedAndReadsBackUnchanged) {
    const EscapeCase& c = GetParam();
    CMarkup m;
    ASSERT_TRUE(m.AppendElement("F", c.data));
    const std::string expected = *c.data ? "<F>" + std::string(c.written) + "</F>\r\n" : "<F/>\r\n";
    EXPECT_EQ(m.GetText(), expected);
    ExpectConsistentAfterReparse(m);

    CMarkup r;
    ASSERT_TRUE(r.SetText("<R>" + m.GetText() + "</R>"));
    ASSERT_TRUE(r.FindNextElement());
    ASSERT_TRUE(r.FindNextChildElement("F"));
    EXPECT_EQ(r.GetChildText(), c.data);
}

INSTANTIATE_TEST_SUITE_P(Cases, CMarkupEscape,
                         testing::Values(EscapeCase{"a<b&c>d", "a&lt;b&amp;c&gt;d"},
                                         EscapeCase{"'\"", "'\""}, EscapeCase{"&lt;", "&amp;lt;"},
                                         EscapeCase{"<![CDATA[x]]>", "&lt;![CDATA[x]]&gt;"},
                                         EscapeCase{"line 1\r\nline 2\r\n", "line 1\r\nline 2\r\n"},
                                         EscapeCase{"  padded  ", "  padded  "},
                                         EscapeCase{"caf\xc3\xa9 \xe2\x82\xac",
                                                    "caf\xc3\xa9 \xe2\x82\xac"},
                                         EscapeCase{"", ""}),
                         NameByIndexAndField<&EscapeCase::data>());

// ---------------------------------------------------------------------------------------------

TEST(CMarkupAppend, RootGoesAfterTheHeader) {
    CMarkup m;
    EXPECT_FALSE(m.SetText(kHeader));
    ASSERT_TRUE(m.AppendElement("DOC"));
    EXPECT_EQ(m.GetText(), kHeader + "<DOC/>\r\n");
    ExpectConsistentAfterReparse(m);
    // A second root is refused and changes nothing.
    EXPECT_FALSE(m.AppendElement("SECOND"));
    EXPECT_EQ(m.GetText(), kHeader + "<DOC/>\r\n");
}

TEST(CMarkupAppend, EmptyParentIsSplit) {
    CMarkup m;
    m.SetText(kHeader);
    ASSERT_TRUE(m.AppendElement("DOC"));
    ASSERT_TRUE(m.EnterElement());
    ASSERT_TRUE(m.AppendElement("A"));
    EXPECT_EQ(m.GetText(), kHeader + "<DOC>\r\n<A/>\r\n</DOC>\r\n");
    ExpectConsistentAfterReparse(m);
    ASSERT_TRUE(m.EnterElement());
    ASSERT_TRUE(m.AppendElement("B", "b"));
    EXPECT_EQ(m.GetText(), kHeader + "<DOC>\r\n<A>\r\n<B>b</B>\r\n</A>\r\n</DOC>\r\n");
    ExpectConsistentAfterReparse(m);
}

TEST(CMarkupAppend, LayoutAroundParsedElements) {
    struct Case {
        const char* text;
        std::function<void(CMarkup&)> position;
        const char* data;
        const char* result;
    };
    auto enterRoot = [](CMarkup& m) {
        ASSERT_TRUE(m.FindNextElement());
        ASSERT_TRUE(m.EnterElement());
    };
    const Case cases[] = {
        // A start tag followed directly by its end tag gets a line break first.
        {"<DOC></DOC>", enterRoot, "", "<DOC>\r\n<N/>\r\n</DOC>"},
        // A parent written with a blank before its slash is split the same way.
        {"<DOC />", enterRoot, "", "<DOC >\r\n<N/>\r\n</DOC>"},
        // Appending with nothing current goes after the last child, before the end tag.
        {"<DOC>\r\n<A/>\r\n</DOC>\r\n", enterRoot, "x", "<DOC>\r\n<A/>\r\n<N>x</N>\r\n</DOC>\r\n"},
        // Appending after a current element goes before the next tag, keeping line breaks.
        {"<DOC>\r\n<A/>\r\n<C/>\r\n</DOC>\r\n",
         [&](CMarkup& m) {
             enterRoot(m);
             ASSERT_TRUE(m.FindNextElement("A"));
         },
         "", "<DOC>\r\n<A/>\r\n<N/>\r\n<C/>\r\n</DOC>\r\n"},
        // Text content before the end tag is left where it is.
        {"<DOC>text</DOC>", enterRoot, "", "<DOC>text<N/>\r\n</DOC>"},
        // After leaving a child, the next element is a sibling of the parent.
        {"<DOC><A><B/></A><C/></DOC>",
         [&](CMarkup& m) {
             enterRoot(m);
             ASSERT_TRUE(m.FindNextElement("A"));
             ASSERT_TRUE(m.EnterElement());
             ASSERT_TRUE(m.FindNextElement("B"));
             ASSERT_TRUE(m.LeaveElement());
         },
         "", "<DOC><A><B/></A><N/>\r\n<C/></DOC>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CMarkup m;
        ASSERT_TRUE(m.SetText(c.text));
        c.position(m);
        ASSERT_TRUE(m.AppendElement("N", c.data));
        EXPECT_EQ(m.GetText(), c.result);
        EXPECT_EQ(m.GetTagName(), "N");
        ExpectConsistentAfterReparse(m);
    }
}

TEST(CMarkupAppend, RefusesNamesThatAreNotOneTagToken) {
    for (const char* name : {"", "A B", "A/", "A>", "<A", "\"A\"", "'A", "A=1", "?A", "!A"}) {
        CMarkup m;
        EXPECT_FALSE(m.AppendElement(name)) << name;
        EXPECT_EQ(m.GetText(), "");
    }
    CMarkup m;
    EXPECT_FALSE(m.AppendElement(nullptr));
}

// Builds a document by appending in many positions (in order, in the middle, into empty and
// into split parents) and checks after every step that each index entry describes the text.
TEST(CMarkupAppend, IndexDescribesTheTextAfterEveryAppend) {
    CMarkup m;
    m.SetText(kHeader);
    ASSERT_TRUE(m.AppendElement("DOC"));
    ASSERT_TRUE(m.EnterElement());
    ASSERT_TRUE(m.AppendElement("BODY"));
    ASSERT_TRUE(m.EnterElement());
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % 100;
    };
    int depth = 2;
    for (int step = 0; step < 400; ++step) {
        unsigned r = next();
        if (r < 20 && depth < 7) {
            if (m.EnterElement()) {
                ++depth;
            }
        } else if (r < 35 && depth > 2) {
            ASSERT_TRUE(m.LeaveElement());
            --depth;
        } else if (r < 45) {
            // Back to the first element of this level, so that the next append lands in the
            // middle of its siblings.
            ASSERT_TRUE(m.LeaveElement());
            ASSERT_TRUE(m.LeaveElement());
            ASSERT_TRUE(m.EnterElement());
            ASSERT_TRUE(m.EnterElement());
            m.FindNextElement();
        } else {
            std::string data = (r % 3 == 0) ? "" : "v" + std::to_string(step) + "<&>";
            ASSERT_TRUE(m.AppendElement(r % 2 ? "E" : "LONGER_NAME", data));
            ASSERT_NO_FATAL_FAILURE(ExpectConsistentAfterReparse(m)) << "step " << step;
        }
    }
    EXPECT_GT(m.IndexUsed(), 150);
}

TEST(CMarkupCodePage, DoubleByteNamesAndTextStayWhole) {
    // In CP932 the character 0x95 0x5C has a backslash as its trail byte, which would end a
    // tag name if the bytes were taken one by one.
    CodePage sjis("CP932");
    ASSERT_TRUE(sjis.IsDoubleByte());
    const std::string name = "\x95\x5C";
    const std::string data = "\x95\x5C<\x82\xA0&";
    CMarkup m(sjis);
    ASSERT_TRUE(m.AppendElement("DOC"));
    ASSERT_TRUE(m.EnterElement());
    ASSERT_TRUE(m.AppendElement(name.c_str(), data));
    EXPECT_EQ(m.GetText(),
              "<DOC>\r\n<" + name + ">\x95\x5C&lt;\x82\xA0&amp;</" + name + ">\r\n</DOC>\r\n");

    CMarkup r(sjis);
    ASSERT_TRUE(r.SetText(m.GetText())) << r.GetError();
    ASSERT_TRUE(r.FindNextElement("DOC"));
    EXPECT_FALSE(r.FindNextChildElement("\x95"));
    ASSERT_TRUE(r.FindNextChildElement(name.c_str()));
    EXPECT_EQ(r.GetChildText(), data);
}
