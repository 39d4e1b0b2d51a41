// A device that vanishes in the middle of an exchange: the port closes at once, the
// connection ends as the watchdog would end it, and a new Search works.
#include "connection/ConnectionController.h"
#include "protocol/PumpDelay.h"
#include "support/Processes.h"
#include "support/QtTestSupport.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace lvx;
using namespace lvx::test;

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

TEST(SerialVanish, KilledDeviceEndsTheConnectionWithoutAnErrorStorm) {
    EnsureApplication();
    auto device = std::make_unique<Devsim>(QStringList{"--counts", "2,1,4,8,2"});
    ConnectionController controller;
    controller.ethernet = false;
    controller.givenPorts = {device->path()};
    int disconnects = 0;
    QObject::connect(&controller, &ConnectionController::disconnected, [&] { ++disconnects; });

    controller.search();
    ASSERT_EQ(controller.devices().count, 1);
    ASSERT_TRUE(controller.connected());
    controller.select(1);

    // Kill the device while a block read is on its way.
    QTimer::singleShot(20, [&] { device->kill(); });
    QElapsedTimer clock;
    clock.start();
    controller.session().SendCommand(ModeGet, CmdNdEd0A);
    ASSERT_TRUE(WaitUntil([&] { return disconnects == 1; }, 2500))
        << "the connection must end before the 3 s watchdog";
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_TRUE(controller.searchEnabled());
    EXPECT_EQ(controller.devices().count, 0);

    // An error storm would keep a core busy; a closed port keeps the process idle.
    const double before = CpuSeconds();
    PumpDelay(1000);
    EXPECT_LT(CpuSeconds() - before, 0.5);

    // The next Search finds a new device.
    device = std::make_unique<Devsim>(QStringList{});
    controller.givenPorts = {device->path()};
    controller.search();
    EXPECT_EQ(controller.devices().count, 1);
    EXPECT_EQ(disconnects, 1);
}
