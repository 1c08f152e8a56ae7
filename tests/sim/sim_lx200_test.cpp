// The simulated mount as other LX200 programs meet it: the queries a generic driver makes when it
// connects, and the strict hand controller (late answers, one precision, the degree byte 0xDF,
// no object text for co-ordinates) through the camera's serial port on the shared clock.
#include <gtest/gtest.h>

#include <string>

#include "observatory_rig.h"
#include "sim/lx200_session.h"

namespace kvr::sim::test {
namespace {

std::string ask(Lx200Session& session, const std::string& command, int64_t at_ms = 0) {
    std::string reply;
    session.receive(reinterpret_cast<const uint8_t*>(command.data()), command.size(), at_ms, reply);
    return reply;
}

TEST(SimLx200, AnswersEveryQueryAGenericDriverMakesWhenItConnects) {
    ObservatoryRig rig;
    Lx200Session session(rig.observatory->mount());
    EXPECT_EQ(ask(session, "\x06"), "P");
    EXPECT_EQ(ask(session, ":Gc#"), "24#");
    EXPECT_EQ(ask(session, ":GM#"), "Observatory#");
    EXPECT_EQ(ask(session, ":GT#"), "60.1#");
    EXPECT_EQ(ask(session, ":GVP#"), "LX200 simulator#");
    EXPECT_EQ(ask(session, ":GVF#"), "LX200 simulator|1.0|Dec 07 2026@12:00:00#");
    EXPECT_EQ(ask(session, ":Gt#"), "+52*00#");
    EXPECT_EQ(ask(session, ":GG#"), "+00#");
    // The kind controller takes either precision and answers at once.
    EXPECT_EQ(ask(session, ":Sr 05:35.0#:Sd -05*30#"), "11");
    EXPECT_EQ(ask(session, ":Sr 05:35:00#:Sd -05*30:00#"), "11");
}

TEST(SimLx200, StrictControllerAnswersLateInItsOwnPrecisionAndForms) {
    ObservatoryRig rig([](ObservatoryConfig& c) { c.lx200_strict = true; });

    // An answer read before it is due is not there yet; it stays on the line until read.
    rig.write("#:GD#");
    EXPECT_EQ(rig.read(10), std::string(10, '\0'));
    rig.clock.advance(40);
    EXPECT_EQ(rig.read(10),
              "+00\xDF"
              "00:00#");

    // High precision: the short forms are refused, the long ones taken.
    rig.write("#:Sr 05:35.0#");
    rig.clock.advance(60);
    EXPECT_EQ(rig.read(1), "0");
    rig.write("#:Sr 05:35:00");
    rig.write("#:Sd -05*30:00");
    rig.clock.advance(60);
    EXPECT_EQ(rig.read(1), "1");
    // ":LI#" closes the Dec.: its '1' comes, the object text never does for co-ordinates; the
    // verdict comes 150 ms after the go-to.
    rig.write("#:LI#");
    rig.clock.advance(1000);
    EXPECT_EQ(rig.read(2), std::string("1\0", 2));
    rig.write("#:MS#");
    rig.clock.advance(149);
    EXPECT_EQ(rig.read(1), std::string(1, '\0'));
    rig.clock.advance(1);
    EXPECT_EQ(rig.read(1), "0");

    // A write drops answers that came and were not read; ":U#" switches to low precision.
    rig.write("#:GR#");
    rig.clock.advance(100);
    rig.write("#:U#");
    EXPECT_EQ(rig.read(1), std::string(1, '\0'));
    rig.write("#:Sr 05:35.0#");
    rig.clock.advance(60);
    EXPECT_EQ(rig.read(1), "1");

    // A catalogue object has its text, with the degree byte.
    rig.write("#:LM 0031#");
    rig.write("#:LI#");
    rig.clock.advance(100);
    const std::string info = rig.read(33);
    EXPECT_EQ(info.substr(0, info.find('#')),
              "M31 NGC224 00:44.2 +41\xDF"
              "25");
}

}  // namespace
}  // namespace kvr::sim::test
