#pragma once
// Internal to the module library (and its tests): the pattern effects, the volume column and the
// modulation waveforms that the replay applies row by row and tick by tick.
#include <cstdint>

#include "module/module_machine.h"

void VolumeColumn(ModuleChannel& channel, uint8_t volumeByte);
void VolumeColumnTick(ModuleChannel& channel, uint8_t volumeByte);
void EffectRow(ModuleMachine& machine, ModuleChannel& channel, const ModuleCell& cell,
               const ModuleInstrument& instrument, const ModuleSample& sample);
void EffectTick(ModuleMachine& machine, ModuleChannel& channel, const ModuleCell& cell,
                const ModuleInstrument& instrument, const ModuleSample& sample);
void TonePortamento(ModuleChannel& channel);
void DoVibrato(ModuleChannel& channel);
void DoTremolo(ModuleChannel& channel);
void DoTremor(ModuleChannel& channel);
void DoAutoVibrato(ModuleChannel& channel, const ModuleInstrument& instrument);
void SetEnvelopePosition(ModuleChannel& channel, const ModuleInstrument& instrument,
                         int32_t position);
int32_t WaveformValue(int waveform, int8_t position);
