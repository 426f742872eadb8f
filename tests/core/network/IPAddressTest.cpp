#include "core/network/IPAddress.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

TEST(IPAddress, LocalRangesAreNotPublic) {
  const struct {
    const char* address;
    bool isPublic;
    bool isLoopback;
  } rows[] = {
      {"8.8.8.8", true, false},
      {"2606:4700::1111", true, false},
      {"127.0.0.1", false, true},
      {"127.255.0.9", false, true},
      {"::1", false, true},
      {"::ffff:127.0.0.1", false, true},
      {"0.0.0.0", false, false},
      {"::", false, false},
      {"10.0.0.1", false, false},
      {"172.16.0.1", false, false},
      {"172.31.255.255", false, false},
      {"172.32.0.1", true, false},
      {"192.168.1.1", false, false},
      {"100.64.0.1", false, false},
      {"169.254.169.254", false, false},
      {"224.0.0.1", false, false},
      {"255.255.255.255", false, false},
      {"fe80::1", false, false},
      {"fc00::1", false, false},
      {"fd12:3456::1", false, false},
      {"ff02::1", false, false},
      {"::ffff:192.168.0.1", false, false},
      {"::ffff:1.1.1.1", true, false},
      {"::10.0.0.1", false, false},
      {"64:ff9b::a9fe:a9fe", false, false},
      {"64:ff9b::808:808", true, false},
      {"192.0.0.8", false, false},
      {"198.18.0.1", false, false},
      {"198.19.255.255", false, false},
      {"198.20.0.1", true, false},
      {"192.0.2.10", false, false},
      {"198.51.100.7", false, false},
      {"203.0.113.200", false, false},
      {"2001:db8::1", false, false},
      {"::ffff:0:7f00:1", false, false},
      {"::ffff:0:808:808", false, false},
      {"64:ff9b:1::a00:1", false, false},
      {"2002:c0a8:101::1", false, false},
      {"2002:808:808::1", true, false},
      {"2001:0:4136:e378:8000:63bf:f5ff:fffe", false, false},  // client 10.0.0.1
      {"2001:0:a00:1:8000:63bf:f7f7:f7f7", false, false},      // server 10.0.0.1
      {"2001:0:4136:e378:8000:63bf:f7f7:f7f7", true, false},   // client 8.8.8.8
  };
  for (const auto& row : rows) {
    auto parsed = ip::parse(row.address);
    ASSERT_TRUE(parsed) << row.address;
    const auto& address = reinterpret_cast<const sockaddr&>(*parsed);
    EXPECT_EQ(ip::isPublic(address), row.isPublic) << row.address;
    EXPECT_EQ(ip::isLoopback(address), row.isLoopback) << row.address;
  }
  EXPECT_FALSE(ip::parse("localhost"));
  EXPECT_FALSE(ip::parse(""));
}

}  // namespace
}  // namespace tavolune
