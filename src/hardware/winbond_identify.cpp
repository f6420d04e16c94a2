// Winbond model identification: chip id (register 0x58) → model, channel counts and the
// default channels of the sensor slots for that model's reader.
#include <array>
#include <span>

#include "hardware/hardware_engine.h"

namespace calventa::hardware {

namespace {

struct SlotChannel
{
    int slot;
    uint8_t channel;
};

struct WinbondModel
{
    uint8_t id;
    const char* name;
    uint8_t temps, volts, fans, pwms;
    std::span<const SlotChannel> slots;
};

using namespace core; // slot names

// Each voltage slot names the channel whose input and scaling measure that rail in the
// order the reader fills the channels.
constexpr SlotChannel kW83627HF[] = {{kSlotCpu, 2},      {kSlotSys, 1},     {kSlotAux, 3},   {kSlotVCoreA, 1},
                                     {kSlotVCoreB, 2},   {kSlot3_3V, 3},    {kSlot5V, 4},    {kSlot12V, 5},
                                     {kSlotMinus12V, 6}, {kSlotMinus5V, 7}, {kSlot5VSB, 8},  {kSlotVBat, 9},
                                     {kSlotCpuFan, 1},   {kSlotSysFan, 2},  {kSlotAuxFan, 3}};
constexpr SlotChannel kW83781D[] = {{kSlotCpu, 2},      {kSlotSys, 1},     {kSlotAux, 3},    {kSlotVCoreA, 1},
                                    {kSlotVCoreB, 2},   {kSlot3_3V, 3},    {kSlot5V, 4},     {kSlot12V, 5},
                                    {kSlotMinus12V, 6}, {kSlotMinus5V, 7}, {kSlotCpuFan, 1}, {kSlotSysFan, 2},
                                    {kSlotAuxFan, 3}};
constexpr SlotChannel kW83783S[] = {{kSlotCpu, 2},    {kSlotSys, 1},    {kSlotVCoreA, 1},   {kSlot3_3V, 2},
                                    {kSlot5V, 3},     {kSlot12V, 4},    {kSlotMinus12V, 5}, {kSlotMinus5V, 6},
                                    {kSlotCpuFan, 1}, {kSlotSysFan, 2}, {kSlotAuxFan, 3}};
constexpr SlotChannel kW83697HF[] = {{kSlotCpu, 2},  {kSlotSys, 1},  {kSlotVCoreA, 1},   {kSlot3_3V, 2},
                                     {kSlot5V, 3},   {kSlot12V, 4},  {kSlotMinus12V, 5}, {kSlotMinus5V, 6},
                                     {kSlot5VSB, 7}, {kSlotVBat, 8}, {kSlotCpuFan, 1},   {kSlotSysFan, 2}};
// The W83627THF reader fills four voltages: core, 3.3 V, 5 V standby and battery.
constexpr SlotChannel kW83627THF[] = {{kSlotCpu, 2},    {kSlotSys, 1},   {kSlotAux, 3},  {kSlotVCoreA, 1},
                                      {kSlot3_3V, 2},   {kSlot5VSB, 3},  {kSlotVBat, 4}, {kSlotCpuFan, 1},
                                      {kSlotSysFan, 2}, {kSlotAuxFan, 3}};
constexpr SlotChannel kW83627EHF[] = {{kSlotCpu, 2},    {kSlotSys, 1},    {kSlotAux, 3},    {kSlotVCoreA, 1},
                                      {kSlot3_3V, 2},   {kSlot12V, 3},    {kSlot5VSB, 4},   {kSlotVBat, 5},
                                      {kSlotCpuFan, 1}, {kSlotSysFan, 2}, {kSlotAuxFan, 3}, {kSlotCpuFan2, 4},
                                      {kSlotSysFan2, 5}};
constexpr SlotChannel kW83637HF[] = {{kSlotCpu, 2},   {kSlotSys, 1},  {kSlotAux, 3},    {kSlotVCoreA, 1},
                                     {kSlot3_3V, 2},  {kSlot5V, 3},   {kSlot12V, 4},    {kSlotMinus12V, 5},
                                     {kSlot5VSB, 6},  {kSlotVBat, 7}, {kSlotCpuFan, 1}, {kSlotSysFan, 2},
                                     {kSlotAuxFan, 3}};
// Read through the Winbond path, this chip yields two voltages: core and 3.3 V.
constexpr SlotChannel kAs99127FRev2[] = {{kSlotSys, 1},    {kSlotVCoreA, 1}, {kSlot3_3V, 2},
                                         {kSlotCpuFan, 1}, {kSlotSysFan, 2}, {kSlotAuxFan, 3}};

constexpr std::array kModels = {
    WinbondModel{0x21, "W83627HF", 3, 9, 3, 2, kW83627HF},
    WinbondModel{0x10, "W83781D", 3, 7, 3, 0, kW83781D},
    WinbondModel{0x30, "W83782D", 3, 9, 3, 3, kW83627HF},
    WinbondModel{0x40, "W83783S", 2, 6, 3, 2, kW83783S},
    WinbondModel{0x60, "W83697HF", 2, 8, 2, 2, kW83697HF},
    WinbondModel{0x90, "W83627THF", 3, 6, 3, 3, kW83627THF},
    WinbondModel{0xA1, "W83627EHF", 3, 5, 5, 4, kW83627EHF},
    WinbondModel{0x80, "W83637HF", 3, 7, 3, 3, kW83637HF},
    WinbondModel{0x31, "AS99127F rev2", 1, 7, 3, 0, kAs99127FRev2},
};

} // namespace

bool HardwareEngine::IdentifyWinbond(uint8_t id, uint8_t bus, uint8_t address)
{
    Log("Detect Winbond model...");
    for (const WinbondModel& model : kModels) {
        if (model.id != id) {
            continue;
        }
        Log(std::string("found ") + model.name);
        const uint8_t n = m_state.Chips.ChipCount;
        if (AddChip(model.name, id, bus, address, model.temps, model.volts, model.fans, model.pwms) == nullptr) {
            return false;
        }
        for (const SlotChannel& assignment : model.slots) {
            Assign(assignment.slot, n, assignment.channel);
        }
        // The first PwmCount fan-control records drive the chip's outputs in order.
        for (uint8_t output = 0; output < model.pwms && output < kFanControlCount; ++output) {
            m_state.Settings.FanControl[output].PwmRegister = output;
        }
        return true;
    }
    return false;
}

} // namespace calventa::hardware
