#include "core/network/GraphQLRequest.hpp"
#include "core/network/GraphQLResponse.hpp"
#include "core/network/JSONCoding.hpp"
#include "core/network/JSONValue.hpp"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace tavolune;

namespace {

TEST(JSONValue, DecodesEveryKindOfValue) {
  EXPECT_EQ(JSONValue::parse("1").kind(), JSONValue::Kind::number);
  EXPECT_EQ(JSONValue::parse("true").kind(), JSONValue::Kind::boolean);
  EXPECT_EQ(JSONValue::parse(R"("1")").kind(), JSONValue::Kind::string);
  EXPECT_EQ(JSONValue::parse("null").kind(), JSONValue::Kind::null);
  auto emptyArray = JSONValue::parse("[]");
  EXPECT_TRUE(emptyArray.isArray());
  EXPECT_TRUE(emptyArray.array().empty());
  auto emptyObject = JSONValue::parse(" {} ");
  ASSERT_TRUE(emptyObject.isObject());
  EXPECT_TRUE(emptyObject.objectValue()->empty());
  // A repeated key keeps the last value.
  EXPECT_EQ(JSONValue::parse(R"({"a":1,"a":2})")["a"].asInt(), 2);
}

TEST(JSONValue, MalformedOrTooDeepInputFails) {
  for (const char* bad : {"", "{", "[1,]", "tru", "1 2", R"({"a":})", "\"\xff\"", "1e400"}) {
    EXPECT_THROW(JSONValue::parse(bad), json::DecodeError) << bad;
  }
  std::string deep(JSONValue::maxDepth, '[');
  deep += std::string(JSONValue::maxDepth, ']');
  EXPECT_NO_THROW(JSONValue::parse(deep));
  std::string deeper = "[" + deep + "]";
  EXPECT_THROW(JSONValue::parse(deeper), json::DecodeError);
}

TEST(JSONValue, ANulByteOutsideAStringIsNoEndOfText) {
  using namespace std::string_literals;
  for (const std::string& text : {"123\0"s, "[1]\0anything"s, "\0"s}) {
    EXPECT_THROW(JSONValue::parse(text), json::DecodeError) << text.size();
    EXPECT_THROW(jsoncoding::decode<std::vector<std::int64_t>>(text), json::DecodeError) << text.size();
    EXPECT_THROW(jsoncoding::decode<JSONValue>(text), json::DecodeError) << text.size();
  }
}

TEST(JSONValue, StringAccessor) {
  EXPECT_EQ(JSONValue::parse("3.0").string(), "3");
  EXPECT_EQ(JSONValue::parse("2.5").string(), "2.5");
  EXPECT_EQ(JSONValue::parse("-2").string(), "-2");
  EXPECT_EQ(JSONValue::parse("-0").string(), "0");
  EXPECT_EQ(JSONValue::parse("0.1").string(), "0.1");
  EXPECT_EQ(JSONValue::parse("1e300").string(), "1e+300");
  EXPECT_EQ(JSONValue::parse(R"("")").string(), std::nullopt);
  EXPECT_EQ(JSONValue::parse(R"("x")").string(), "x");
  EXPECT_EQ(JSONValue::parse("false").string(), "false");
  EXPECT_EQ(JSONValue::parse("{}").string(), std::nullopt);
  EXPECT_EQ(JSONValue::parse("[1]").string(), std::nullopt);
  EXPECT_EQ(JSONValue::parse("null").string(), std::nullopt);
}

TEST(JSONValue, IntegersBeyond2To53KeepTheirDigits) {
  const std::string id = "115792089237316195423570985008687907853269984665640564039457584007913129639935";
  auto v = JSONValue::parse(R"({"id":)" + id + R"(,"c":9007199254740993,"u":18446744073709551615})");
  EXPECT_EQ(v["id"].string(), id);
  EXPECT_EQ(v["c"].string(), "9007199254740993");
  EXPECT_EQ(v["u"].string(), "18446744073709551615");
  EXPECT_EQ(v["c"].asInt(), 9007199254740993);
  EXPECT_EQ(v["u"].asInt(), std::nullopt);   // beyond int64
  EXPECT_EQ(v["id"].asInt(), std::nullopt);
  EXPECT_DOUBLE_EQ(*v["id"].asDouble(), 1.157920892373162e77);
  // Written back exactly.
  EXPECT_EQ(JSONValue::parse(v.serialized()), v);
  EXPECT_NE(v.serialized().find(id), std::string::npos);
  EXPECT_NE(v.serialized().find("9007199254740993"), std::string::npos);
  // Also through the model's JSON tree for what fits 64 bits.
  EXPECT_EQ(JSONValue::fromJson(v["u"].toJson()).string(), "18446744073709551615");
}

TEST(JSONValue, NumbersCompareByValue) {
  EXPECT_EQ(JSONValue::parse("3"), JSONValue::parse("3.0"));
  EXPECT_EQ(JSONValue::parse("3"), JSONValue(3.0));
  EXPECT_EQ(JSONValue::parse("-0"), JSONValue::parse("0.0"));
  EXPECT_EQ(JSONValue::parse("1e2"), JSONValue::parse("100"));
  EXPECT_NE(JSONValue::parse("3"), JSONValue::parse("3.5"));
  EXPECT_NE(JSONValue::parse("3"), JSONValue::parse(R"("3")"));
  // 2^53 + 1 written out differs from 2^53, though both round to one double.
  EXPECT_NE(JSONValue::parse("9007199254740993"), JSONValue::parse("9007199254740992"));
  EXPECT_NE(JSONValue::parse("9007199254740993"), JSONValue(9007199254740992.0));
  EXPECT_EQ(JSONValue::parse("9007199254740992"), JSONValue(9007199254740992.0));
  EXPECT_EQ(JSONValue::parse("1180591620717411303424"), JSONValue::parse("1.180591620717411303424e21"));
  EXPECT_EQ(JSONValue::parse(R"({"a":[1,2],"b":null})"), JSONValue::parse(R"({"b":null,"a":[1.0,2]})"));
  EXPECT_NE(JSONValue::parse("[1,2]"), JSONValue::parse("[2,1]"));

  std::hash<JSONValue> hash;
  EXPECT_EQ(hash(JSONValue::parse("3")), hash(JSONValue::parse("3.0")));
  EXPECT_EQ(hash(JSONValue::parse("-0")), hash(JSONValue::parse("0.0")));
  EXPECT_EQ(hash(JSONValue::parse(R"({"a":1,"b":2})")), hash(JSONValue::parse(R"({"b":2.0,"a":1})")));
  std::unordered_set<JSONValue> set{JSONValue::parse("1"), JSONValue::parse("1.0"), JSONValue::parse("[1]")};
  EXPECT_EQ(set.size(), 2u);
}

TEST(JSONValue, DoubleIntAndBoolAccessors) {
  EXPECT_EQ(JSONValue::parse(R"("42.9")").asInt(), 42);
  EXPECT_EQ(JSONValue::parse("-1.5").asInt(), -1);
  EXPECT_EQ(JSONValue::parse(R"("abc")").asInt(), std::nullopt);
  EXPECT_EQ(JSONValue::parse(R"("9007199254740993")").asInt(), 9007199254740993);
  EXPECT_EQ(JSONValue::parse("1e300").asInt(), std::nullopt);
  EXPECT_EQ(JSONValue::parse(R"("inf")").asInt(), std::nullopt);
  EXPECT_EQ(JSONValue::parse(R"("1e3")").asDouble(), 1000.0);
  EXPECT_EQ(JSONValue::parse(R"(" 1")").asDouble(), std::nullopt);
  EXPECT_EQ(JSONValue::parse(R"("1 ")").asDouble(), std::nullopt);
  EXPECT_EQ(JSONValue::parse(R"("1,5")").asDouble(), std::nullopt);
  EXPECT_EQ(JSONValue::parse("true").asDouble(), std::nullopt);
  EXPECT_EQ(JSONValue::parse(R"("True")").asBool(), std::nullopt);
  EXPECT_EQ(JSONValue::parse(R"("false")").asBool(), false);
  EXPECT_EQ(JSONValue::parse("1").asBool(), std::nullopt);
  EXPECT_EQ(JSONValue::parse("true").asBool(), true);
  EXPECT_EQ(JSONValue::parse(R"({"a":1})").array().size(), 0u);
  EXPECT_EQ(JSONValue::parse("[1,[2]]").array().size(), 2u);
}

TEST(JSONValue, Subscripts) {
  auto arr = JSONValue::parse(R"([10, {"k": "v"}])");
  EXPECT_EQ(arr.get("k"), nullptr);
  EXPECT_EQ(arr.get(-1), nullptr);
  EXPECT_EQ(arr.get(2), nullptr);
  ASSERT_NE(arr.get(1), nullptr);
  EXPECT_EQ(arr[1]["k"].string(), "v");
  EXPECT_TRUE(arr[5]["k"]["deeper"].isNull());
  auto obj = JSONValue::parse(R"({"0": 1, "n": null})");
  EXPECT_EQ(obj.get(0), nullptr);
  ASSERT_NE(obj.get("n"), nullptr);  // present, and null
  EXPECT_TRUE(obj.get("n")->isNull());
  EXPECT_EQ(obj.get("missing"), nullptr);
}

TEST(JSONValue, EncodesCompactlyWithIntegersAsIntegers) {
  JSONValue::Object vars{{"limit", JSONValue(500)}, {"offset", JSONValue(0.0)}, {"ratio", JSONValue(0.25)},
                         {"name", JSONValue("a\"b\\c\n\x01é")}, {"list", JSONValue(JSONValue::Array{true, nullptr})}};
  EXPECT_EQ(JSONValue(vars).serialized(),
            R"({"limit":500,"list":[true,null],"name":"a\"b\\c\n\u0001é","offset":0,"ratio":0.25})");
  EXPECT_EQ(JSONValue(1e20).serialized(), "1e+20");
  EXPECT_THROW(JSONValue(std::numeric_limits<double>::infinity()).serialized(), JSONValue::EncodeError);
  EXPECT_THROW(JSONValue(std::string("\xc3")).serialized(), JSONValue::EncodeError);
  EXPECT_EQ(JSONValue::integer("-007")->serialized(), "-7");
  EXPECT_FALSE(JSONValue::integer("1.5"));
}

TEST(GraphQL, RequestEncoding) {
  EXPECT_EQ(GraphQLRequest{.query = "{ a }"}.toJSONValue().serialized(), R"({"query":"{ a }"})");
  GraphQLRequest withVariables{.query = "q", .variables = JSONValue::Object{{"address", JSONValue("tz1")}}};
  EXPECT_EQ(withVariables.toJSONValue().serialized(), R"({"query":"q","variables":{"address":"tz1"}})");
}

struct Token {
  std::string id;
  static Token fromJSONValue(const JSONValue& v) {
    auto id = v["id"].string();
    if (!id) throw json::DecodeError("token without id");
    return {*id};
  }
};

TEST(GraphQL, ResponseDecoding) {
  using Response = GraphQLResponse<std::vector<Token>>;
  auto failed = Response::fromJSONValue(JSONValue::parse(R"({"data":null,"errors":[{"message":"boom","path":["x"]}]})"));
  EXPECT_FALSE(failed.data);
  ASSERT_TRUE(failed.errors);
  ASSERT_EQ(failed.errors->size(), 1u);
  EXPECT_EQ((*failed.errors)[0].message, "boom");

  auto ok = Response::fromJSONValue(JSONValue::parse(R"({"data":[{"id":1},{"id":"2"}],"extensions":{}})"));
  ASSERT_TRUE(ok.data);
  ASSERT_EQ(ok.data->size(), 2u);
  EXPECT_EQ((*ok.data)[0].id, "1");
  EXPECT_FALSE(ok.errors);

  EXPECT_THROW(Response::fromJSONValue(JSONValue::parse(R"({"errors":[{"code":1}]})")), json::DecodeError);
  EXPECT_THROW(Response::fromJSONValue(JSONValue::parse(R"({"errors":[{"message":7}]})")), json::DecodeError);
  EXPECT_THROW(Response::fromJSONValue(JSONValue::parse(R"({"errors":{"message":"x"}})")), json::DecodeError);
  EXPECT_THROW(Response::fromJSONValue(JSONValue::parse(R"({"data":[{"name":"no id"}]})")), json::DecodeError);
  EXPECT_THROW(Response::fromJSONValue(JSONValue::parse(R"({"data":{"id":1}})")), json::DecodeError);
  EXPECT_THROW(Response::fromJSONValue(JSONValue::parse("[]")), json::DecodeError);
  auto nothing = Response::fromJSONValue(JSONValue::parse("{}"));
  EXPECT_FALSE(nothing.data);
  EXPECT_FALSE(nothing.errors);
}

}  // namespace
