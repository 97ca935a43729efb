// Opening and closing the endpoint.
#include <gtest/gtest.h>

#include "net_fixture.hpp"

namespace orv {
namespace {

using test::Alice;
using test::FakeHost;

EndpointConfig Loopback(uint16_t port) {
  EndpointConfig config;
  config.local_port = port;
  config.bind_ipv4 = test::kLoopback;
  config.retry_thread = false;
  return config;
}

TEST(Endpoint, APortTakenAlreadyIsReportedAndTheEndpointRunsWithoutNetwork) {
  FakeHost first_host(&Alice()), second_host(&Alice());
  auto first = OpenEndpoint(first_host, Loopback(0));
  ASSERT_NE(EndpointPort(*first), 0);
  auto second = OpenEndpoint(second_host, Loopback(EndpointPort(*first)));
  EXPECT_EQ(second_host.Messages(), std::vector<std::string>{"Error: Can't bind socket to local port"});
  EXPECT_EQ(EndpointPort(*second), 0);
  EXPECT_FALSE(second->threads_started);
  EXPECT_EQ(second_host.PasswordRequests(), 0u);
  EXPECT_TRUE(first_host.Messages().empty());
  CloseEndpoint(*second);
  CloseEndpoint(*second);  // twice is fine
}

TEST(Endpoint, WithoutKeyOrPasswordNoThreadStarts) {
  FakeHost keyless(nullptr);
  auto a = OpenEndpoint(keyless, Loopback(0));
  EXPECT_NE(EndpointPort(*a), 0);
  EXPECT_FALSE(a->threads_started);
  EXPECT_EQ(keyless.PasswordRequests(), 0u);

  FakeHost refusing(&Alice());
  refusing.RefusePassword(true);
  auto b = OpenEndpoint(refusing, Loopback(0));
  EXPECT_FALSE(b->threads_started);
  EXPECT_EQ(refusing.PasswordRequests(), 1u);
  EXPECT_EQ(b->session_request_length, 0u);
}

TEST(Endpoint, AnOpenedEndpointStartsDisabledAndSendsNothing) {
  FakeHost host(&Alice());
  auto a = OpenEndpoint(host, Loopback(0));
  EXPECT_TRUE(a->threads_started);
  EXPECT_EQ(a->session_request_length, kRequestBytes);
  PeerRef somewhere;
  somewhere.user_id[0] = 1;
  somewhere.ipv4 = test::kLoopback;
  somewhere.port = 9;
  SendRequest request;
  request.target = &somewhere;
  EXPECT_EQ(SendToPeer(*a, request), 0);
  EXPECT_TRUE(host.Traces().empty());
  EXPECT_TRUE(ListPeers(*a).empty());
}

}  // namespace
}  // namespace orv
