#include "pedal_mapping.h"

#include <gtest/gtest.h>

using platform::pedals::kLeft;
using platform::pedals::kMiddle;
using platform::pedals::kRight;
using Kind = PedalMapping::Kind;
using Actions = std::vector<PedalMapping::Action>;

// Hold to play, the outer pedals stepping while held (late ticks do not pile up), both
// together into the records layer and back, and a device pulled mid-press pausing.
TEST(PedalMapping, PlaysWhileHeldStepsWhileHeldAndSwitchesLayersWithBoth)
{
    PedalMapping m(true, 4);
    EXPECT_EQ(m.Change({kMiddle, true}, 0), (Actions{{Kind::kPlay}}));
    EXPECT_EQ(m.Change({kMiddle, true}, 10), Actions{}); // no change
    EXPECT_EQ(m.Change({kLeft, true}, 100), (Actions{{Kind::kStep, -1000}}));
    EXPECT_EQ(m.Tick(200), Actions{});
    EXPECT_EQ(m.Tick(350), (Actions{{Kind::kStep, -1000}}));
    EXPECT_EQ(m.Tick(5000), (Actions{{Kind::kStep, -1000}})); // one step, however late
    EXPECT_EQ(m.Change({kLeft, false}, 5100), Actions{});
    EXPECT_EQ(m.Tick(6000), Actions{});

    // both outer pedals: the second layer, with nothing else from that press
    m.Change({kRight, true}, 7000);
    EXPECT_EQ(m.Change({kLeft, true}, 7050), Actions{});
    EXPECT_TRUE(m.SecondLayer());
    EXPECT_EQ(m.Tick(8000), Actions{});
    EXPECT_EQ(m.Change({kRight, false}, 8100), Actions{});
    EXPECT_EQ(m.Change({kLeft, false}, 8150), Actions{});
    EXPECT_EQ(m.Change({kRight, true}, 9000), (Actions{{Kind::kNextRecord}}));
    EXPECT_EQ(m.Change({kRight, false}, 9100), Actions{});
    EXPECT_EQ(m.Change({kLeft, true}, 9200), (Actions{{Kind::kPreviousRecord}}));
    EXPECT_EQ(m.Change({kRight, true}, 9300), Actions{}); // and back
    EXPECT_FALSE(m.SecondLayer());
    m.Change({kLeft, false}, 9400);
    m.Change({kRight, false}, 9400);

    // the device went while the middle pedal was held: its release pauses
    EXPECT_EQ(m.Change({kMiddle, false}, 10000), (Actions{{Kind::kPause}}));

    PedalMapping presses(false, 2);
    EXPECT_EQ(presses.Change({kMiddle, true}, 0), (Actions{{Kind::kToggle}}));
    EXPECT_EQ(presses.Change({kMiddle, false}, 100), Actions{});
    EXPECT_EQ(presses.Change({kRight, true}, 200), (Actions{{Kind::kStep, 500}}));
}
