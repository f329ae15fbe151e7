// XML and XMLNode: parsing, status codes, tree edits and printing.

#include "tests/avm1/avm1_fixture.h"

using namespace avm1test;
using swf::avm1::Value;

namespace {

struct Doc {
    Stage s{8};
    swf::avm1::Vm& vm = s.vm;
    Value make(const std::string& text) {
        return vm.construct(vm.get(vm.global, "XML"), {Value(text)});
    }
    std::string str(const Value& v) { return vm.toString(v); }
    Value get(const Value& o, const char* path) {
        Value v = o;
        std::string p(path);
        size_t i = 0;
        while (i <= p.size()) {
            const size_t dot = std::min(p.find('.', i), p.size());
            v = vm.get(v, p.substr(i, dot - i));
            i = dot + 1;
        }
        return v;
    }
    std::string call(const Value& o, const char* m, swf::avm1::Args a = {}) {
        return str(vm.callMethod(o, m, std::move(a)));
    }
};

}  // namespace

TEST(Avm1Xml, ParsesElementsAttributesTextAndEntities) {
    Doc d;
    Value x = d.make(
        "<?xml version=\"1.0\"?><!DOCTYPE a><a k=\"v &amp; w\" n='2'>"
        "x &lt; y &#65;&#x42; &bogus;<b/><![CDATA[<raw>]]><!-- gone --></a>");
    EXPECT_EQ(d.str(d.get(x, "status")), "0");
    EXPECT_EQ(d.str(d.get(x, "xmlDecl")), "<?xml version=\"1.0\"?>");
    EXPECT_EQ(d.str(d.get(x, "docTypeDecl")), "<!DOCTYPE a>");
    EXPECT_EQ(d.str(d.get(x, "firstChild.nodeName")), "a");
    EXPECT_EQ(d.str(d.get(x, "firstChild.attributes.k")), "v & w");
    EXPECT_EQ(d.str(d.get(x, "firstChild.firstChild.nodeValue")), "x < y AB &bogus;");
    EXPECT_EQ(d.str(d.get(x, "firstChild.firstChild.nodeType")), "3");
    EXPECT_EQ(d.str(d.get(x, "firstChild.childNodes.length")), "3");
    EXPECT_EQ(d.str(d.get(x, "firstChild.lastChild.nodeValue")), "<raw>");
    EXPECT_EQ(d.str(d.get(x, "firstChild.firstChild.nextSibling.nodeName")), "b");
    EXPECT_EQ(d.str(d.get(x, "firstChild.firstChild.previousSibling")), "null");
    EXPECT_EQ(d.str(d.get(x, "firstChild.parentNode.nodeName")), "null");
    EXPECT_EQ(d.str(d.get(x, "nodeName")), "null");
    EXPECT_EQ(d.call(d.get(x, "firstChild"), "toString"),
              "<a k=\"v &amp; w\" n=\"2\">x &lt; y AB &amp;bogus;<b />&lt;raw&gt;</a>");
    EXPECT_EQ(d.call(x, "toString").substr(0, 33), "<?xml version=\"1.0\"?><!DOCTYPE a>");
    EXPECT_EQ(d.str(d.get(x, "firstChild.namespaceURI")), "");  // bound nowhere: none
    // A new text's declarations replace the old; an internal subset may hold '>'.
    d.call(x, "parseXML", {Value("<?a?><?b?><!DOCTYPE c [ <!ENTITY d \"e\"> ]><f>&nbsp;</f>")});
    EXPECT_EQ(d.str(d.get(x, "xmlDecl")), "<?a?><?b?>");
    EXPECT_EQ(d.str(d.get(x, "docTypeDecl")), "<!DOCTYPE c [ <!ENTITY d \"e\"> ]>");
    EXPECT_EQ(d.str(d.get(x, "childNodes.length")), "1");
    EXPECT_EQ(d.str(d.get(x, "firstChild.firstChild.nodeValue")), "\u00A0");
}

TEST(Avm1Xml, IgnoreWhiteDropsBlankTextOnly) {
    Doc d;
    Value x = d.make("");
    d.vm.set(x.o, "ignoreWhite", Value(true));
    d.call(x, "parseXML", {Value("<a>\n  <b> keep </b>\n</a>")});
    EXPECT_EQ(d.str(d.get(x, "firstChild.childNodes.length")), "1");
    EXPECT_EQ(d.str(d.get(x, "firstChild.firstChild.firstChild.nodeValue")), " keep ");
}

TEST(Avm1Xml, BrokenInputGivesStatusCodes) {
    Doc d;
    const std::pair<const char*, int> cases[] = {
        {"<a><![CDATA[x</a>", -2},
        {"<?xml", -3},
        {"<!DOCTYPE", -4},
        {"<!-- x", -5},
        {"<a", -6},
        {"<a b=\"x></a>", -8},
        {"<a><b></a>", -9},
        {"<a>", -9},
        {"</a>", -10},
        {"<a>x</a>", 0},
    };
    for (const auto& [text, status] : cases)
        EXPECT_EQ(d.str(d.get(d.make(text), "status")), std::to_string(status)) << text;
}

TEST(Avm1Xml, TreeEditsKeepParentsConsistentAndRefuseLoops) {
    Doc d;
    Value x = d.make("<r><a/><b/></r>");
    Value r = d.get(x, "firstChild");
    Value a = d.get(r, "firstChild");
    Value b = d.get(r, "lastChild");
    Value c = d.vm.callMethod(x, "createElement", {Value("c")});
    d.vm.callMethod(r, "insertBefore", {c, a});
    EXPECT_EQ(d.call(x, "toString"), "<r><c /><a /><b /></r>");
    d.vm.callMethod(b, "appendChild", {a});  // moves a under b
    EXPECT_EQ(d.call(x, "toString"), "<r><c /><b><a /></b></r>");
    EXPECT_EQ(d.str(d.get(a, "parentNode.nodeName")), "b");
    d.vm.callMethod(a, "appendChild", {r});  // r is a's ancestor: refused
    d.vm.callMethod(a, "appendChild", {a});
    EXPECT_EQ(d.call(x, "toString"), "<r><c /><b><a /></b></r>");
    d.vm.callMethod(b, "removeNode", {});
    EXPECT_EQ(d.call(x, "toString"), "<r><c /></r>");
    EXPECT_EQ(d.str(d.get(b, "parentNode")), "null");
    Value t = d.vm.callMethod(x, "createTextNode", {Value("1 < 2")});
    d.vm.callMethod(c, "appendChild", {t});
    Value deep = d.vm.callMethod(r, "cloneNode", {Value(true)});
    Value shallow = d.vm.callMethod(r, "cloneNode", {Value(false)});
    EXPECT_EQ(d.call(deep, "toString"), "<r><c>1 &lt; 2</c></r>");
    EXPECT_EQ(d.call(shallow, "toString"), "<r />");
    EXPECT_EQ(d.str(d.get(deep, "parentNode")), "null");
    EXPECT_EQ(d.call(c, "hasChildNodes"), "true");
}

TEST(Avm1Xml, DeepNestingStaysBounded) {
    Doc d;
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "<a>";
    Value x = d.make(text);
    EXPECT_NE(d.str(d.get(x, "status")), "0");
    EXPECT_FALSE(d.call(x, "toString").empty());
}

TEST(Avm1Xml, AppendMovesNodesFromOtherParentsAndListsIds) {
    Doc d;
    Value x = d.make("<a><b/></a><c/>");
    d.call(x, "appendChild", {d.get(x, "firstChild.firstChild")});
    EXPECT_EQ(d.str(x), "<a /><c /><b />");
    // A node already among the children keeps its place.
    Value y = d.make("<p/><q/>");
    d.call(y, "appendChild", {d.get(y, "firstChild")});
    d.call(y, "insertBefore", {d.get(y, "lastChild"), d.get(y, "firstChild")});
    EXPECT_EQ(d.str(y), "<p /><q />");
    Value z = d.make("<r id='one'><s id='two'/></r>");
    EXPECT_EQ(d.str(d.get(z, "idMap.two.nodeName")), "s");
    EXPECT_EQ(d.str(d.get(z, "idMap.one.nodeName")), "r");
}

// A native class's properties go on its prototype with the first instance made from it, and
// only by the ways of making one natively; what a script put there first is kept.
TEST(Avm1Xml, NativePropertiesComeWithTheFirstInstanceOfTheirPrototype) {
    using swf::avm1::Args;
    using swf::avm1::Vm;
    const Value u;
    const struct {
        const char* cls;
        const char* prop;
        std::function<void(Vm&, const Value& cls)> make;
        bool installs;
    } rows[] = {
        {"XML", "ignoreWhite", [](Vm& vm, const Value& c) { vm.construct(c, {}); }, true},
        {"XML", "ignoreWhite", [](Vm& vm, const Value& c) { vm.call(c, nullptr, {}); }, false},
        {"XMLNode", "nodeType",
         [](Vm& vm, const Value& c) {
             vm.construct(c, {Value(1), Value("a")});
         },
         true},
        {"XMLNode", "nodeType", [](Vm& vm, const Value& c) { vm.construct(c, {Value(1)}); }, false},
        {"XMLNode", "nodeType",
         [u](Vm& vm, const Value& c) {
             vm.construct(c, {u, Value("a")});
         },
         false},
        {"XMLNode", "nodeType",
         [](Vm& vm, const Value&) { vm.construct(vm.get(vm.global, "XML"), {Value("<a/>")}); },
         false},
        {"XMLNode", "nodeType",
         [](Vm& vm, const Value&) {
             const Value x = vm.construct(vm.get(vm.global, "XML"), {});
             vm.callMethod(x, "createTextNode", {Value("a")});
         },
         true},
        {"TextField", "text", [](Vm& vm, const Value& c) { vm.construct(c, {}); }, true},
        {"TextField", "text",
         [](Vm& vm, const Value&) {
             vm.callMethod(Value(vm.clipObject(vm.root_)), "createTextField",
                           {Value("t"), Value(1), Value(0), Value(0), Value(50), Value(20)});
         },
         true},
        {"TextField", "text",
         [](Vm& vm, const Value&) {
             vm.callMethod(Value(vm.clipObject(vm.root_)), "createTextField",
                           {Value("t"), Value(1), Value(0), Value(0), Value(50)});
         },
         false},
    };
    for (const auto& r : rows) {
        Doc d;
        const Value cls = d.vm.get(d.vm.global, r.cls);
        Value proto(d.vm.newObject());
        d.vm.set(cls.o, "prototype", proto);
        auto own = [&] { return d.vm.callMethod(proto, "hasOwnProperty", {Value(r.prop)}).b; };
        EXPECT_FALSE(own()) << r.cls;
        r.make(d.vm, cls);
        EXPECT_EQ(own(), r.installs) << r.cls << "." << r.prop;
    }
    Doc d;
    d.vm.set(d.get(Value(d.vm.global), "XML.prototype").o, "ignoreWhite", Value(true));
    EXPECT_EQ(d.str(d.get(d.make("<a> <b/> </a>"), "firstChild.childNodes.length")), "1");
}
