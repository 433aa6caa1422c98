#include <gtest/gtest.h>

#include <string>

#include "formats/xml_check.h"

namespace bq {
namespace {

std::string repeat(std::string_view s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

std::string nested(std::size_t depth, std::string_view inner = "") {
    return repeat("<a>", depth) + std::string(inner) + repeat("</a>", depth);
}

TEST(XmlCheck, WellFormedOrWhyNot) {
    struct Row {
        std::string xml;
        const char* fault;  // a piece of the fault; nullptr when well-formed
    };
    const Row rows[] = {
        {"<a><b/></a>", nullptr},
        {"\xEF\xBB\xBF<?xml version='1.0'?>\n<a/>\n<?xpacket end='w'?>  ", nullptr},
        {"<a><!-- </a> ' \" --></a>", nullptr},
        {"<!-- <b> --><a/><!-- after -->", nullptr},
        {"<a><?pi </a> ?></a>", nullptr},
        {"<a><![CDATA[ <b> </a> ]]></a>", nullptr},
        {"<!DOCTYPE a [ <!ENTITY e \"x>]\"> <!-- ]> --> <?p ]>?> ]><a>&e;</a>", nullptr},
        {"<a b='>' c=\"/>\" d = 'x'>t</a>", nullptr},
        {"<a:b x:y='1'/>", nullptr},
        {nested(kMaxXmlDepth), nullptr},
        {nested(kMaxXmlDepth - 1, "<b/>"), nullptr},
        {"<a><b></c></a>", "end tag </c> does not match <b>"},
        {"<a/><b/>", "a second root element"},
        {"x<a/>", "text before the root element"},
        {"<a/>x", "text after the root element"},
        {"</a>", "with no element open"},
        {"<a>", "<a> is not closed"},
        {nested(kMaxXmlDepth + 1), "elements nest more than 256 deep"},
        {nested(kMaxXmlDepth, "<b/>"), "elements nest more than 256 deep"},
        {"<a>" + repeat("<b/>", kMaxXmlNodes) + "</a>", "more than 1000000 elements"},
        {"<a " + repeat("b='' ", kMaxXmlNodes) + "/>", "more than 1000000 elements"},
        {"<a><!-- </a>", "unclosed comment"},
        {"<a><?pi", "unclosed processing instruction"},
        {"<a><![CDATA[x</a>", "unclosed CDATA"},
        {"<![CDATA[x]]><a/>", "CDATA outside the root element"},
        {"<!DOCTYPE a [ '>' <a/>", "unclosed"},
        {"<a/><!DOCTYPE a>", "DOCTYPE"},
        {"<a b='<'/>", "< in an attribute value"},
        {"<a b=c/>", "expected a quoted attribute value"},
        {"<a b/>", "expected ="},
        {"<a b='1'c='2'/>", "expected white space"},
        {"<a b='1", "unclosed attribute value"},
        {"< a/>", "expected an element name"},
        {"", "no root element"},
        {" \r\n\t ", "no root element"},
        {"<!-- only a comment -->", "no root element"},
        {std::string("\xFF\xFE<\0a\0/\0>\0", 10), "UTF-16"},
        {std::string("<a>\0</a>", 8), "NUL byte"},
    };
    for (const Row& row : rows) {
        const std::string problem = xmlProblem(row.xml);
        if (row.fault == nullptr) {
            EXPECT_EQ(problem, "") << row.xml.substr(0, 60);
        } else {
            EXPECT_NE(problem.find(row.fault), std::string::npos)
                << row.xml.substr(0, 60) << " -> " << problem;
        }
    }
}

TEST(XmlCheck, NamesTheOffsetLineAndColumnOfTheFault) {
    EXPECT_EQ(xmlProblem("<a>\n  <b></c>\n</a>"),
              "not well-formed XML: end tag </c> does not match <b> at offset 9 (line 2, "
              "column 6)");
    const auto deep = checkXml(nested(100000));
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->offset, 3 * kMaxXmlDepth);
}

}  // namespace
}  // namespace bq
