// tests/game/check_in_test.cpp — the check-in through the game's own start-up and updates,
// against a server on 127.0.0.1: switched on it asks once and keeps the reply whatever the
// status; a refused connection is logged and the game goes on; switched off nothing connects.
#include <gtest/gtest.h>

#include <string>

#include "graphics/drawing.h"
#include "net/async.h"
#include "tests/game/game_support.h"
#include "tests/net/test_server.h"
#include "tests/support/runtime_output.h"

namespace {

class CheckIn : public ::testing::Test {
protected:
  c_MyApp* game = Game();
  static void SetUpTestSuite() {
    Game();
    zu_graphics_SetGraphicsDevice(new CountingDevice);
    zu_input_SetInputDevice((new c_InputDevice)->m_new());
  }
  void TearDown() override { zu_Tessel_J_On_Allow = zu_Tessel_J_On_Able = 0; }

  // Start-up, then updates until the check-in is done (or a second has passed); what it printed.
  std::string Run(bool on, int port) {
    zu_Tessel_J_On_Allow = on ? 1 : 0;
    zu_Tessel_CheckInUrl = String(("http://127.0.0.1:" + std::to_string(port) + "/housecall.php").c_str());
    return StdoutOf([&] {
      game->p_OnCreate();
      for (int i = 0; i < 1000 && game->m_CheckInDone == 0; ++i) {
        host->clock += 16;
        game->p_OnUpdate();
        TestServer::Pause(1);
      }
    });
  }
};

TEST_F(CheckIn, SwitchedOnItAsksOnceAndAnyReplyRaisesTheFlag) {
  // Status line, body, what the log says, the flag.
  const std::vector<std::tuple<std::string, std::string, int>> replies = {
      {"HTTP/1.0 200 OK\r\n\r\nok", "Http GET complete! 200\n", 1},
      {"HTTP/1.0 404 Not Found\r\n\r\ngone", "Http GET complete! 404\n", 1},
      {"HTTP/1.0 200 OK\r\n\r\n", "Http GET complete! 200\n", 0},
  };
  for (const auto& [reply, log, able] : replies) {
    zu_Tessel_J_On_Able = 0;
    TestServer server([&](int fd) {
      server.ReadRequest(fd);
      TestServer::Write(fd, reply);
    });
    const std::string out = Run(true, server.port);
    EXPECT_EQ(out.find("Requesting URL\n"), 0u) << out;
    EXPECT_NE(out.find(log), std::string::npos) << out;
    EXPECT_EQ(zu_Tessel_J_On_Able, able) << reply;
    EXPECT_EQ(game->m_CheckInDone, 1);
    EXPECT_EQ(game->m_CheckInReply.ToUtf8(), reply.substr(reply.find("\r\n\r\n") + 4));
    EXPECT_EQ(server.FirstRequest(), "GET /housecall.php?hello=1&gameID=415 HTTP/1.0\r\nHost: 127.0.0.1:" +
                                         std::to_string(server.port) + "\r\n\r\n");
    EXPECT_EQ(server.connections, 1);
  }
}

TEST_F(CheckIn, ARefusedConnectionIsLoggedAndSwitchedOffNothingConnects) {
  const std::string out = Run(true, ClosedPort());
  EXPECT_EQ(out.find("Requesting URL\n"), 0u) << out;
  EXPECT_NE(out.find("Http GET complete! -1\n"), std::string::npos) << out;
  EXPECT_EQ(game->m_CheckInReply.ToUtf8(), "");
  EXPECT_EQ(zu_Tessel_J_On_Able, 0);

  TestServer server([](int fd) { TestServer::Write(fd, "HTTP/1.0 200 OK\r\n\r\nok"); });
  game->m_CheckInDone = 0;
  game->m_CheckInReply = String("N/A");
  const std::string quiet = Run(false, server.port);
  EXPECT_EQ(quiet.find("Requesting URL"), std::string::npos);
  EXPECT_EQ(server.connections, 0);
  EXPECT_EQ(game->m_CheckInReply.ToUtf8(), "N/A");
}

} // namespace
