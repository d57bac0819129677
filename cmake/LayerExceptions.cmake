# TEMPORARY exceptions to the layer rule (cmake/LayerRules.cmake), generated from the tree with
#   cmake -P cmake/KelvarLayers.cmake
# Each line lets exactly one include (or one file's SQL text) through. The check fails on a line
# that no longer matches anything, so the list only shrinks. Empty it; add nothing.

# The windows of the main window, decks, on-air, tools and voice folders: their engine includes
# and SQL text go when they talk to the core through its door.
kelvar_layer_exception(gui/decks/DeckHooks.h database/SQLPool.h)
kelvar_layer_exception(gui/decks/DeckSongDrop.cpp media/KelvarPlayer_imp.h)
kelvar_layer_exception(gui/decks/funDJControl.cpp media/KelvarPlayer_imp.h)
kelvar_layer_exception(gui/decks/funPlayer.cpp audio/mix/Channel_imp.h)
kelvar_layer_exception(gui/decks/funPlayer.cpp audio/nodes/Node_VUMeter.h)
kelvar_layer_exception(gui/decks/funPlayer.cpp database/SQLPool.h)
kelvar_layer_exception(gui/decks/funPlayer.cpp database/datalink/DLEngine.h)
kelvar_layer_exception(gui/decks/funPlayer.cpp media/KelvarPlayer_imp.h)
kelvar_layer_exception(gui/onair/funSoundFXItem.cpp media/KelvarPlayer_imp.h)
kelvar_layer_exception(gui/onair/unQueueList.cpp database/SQLPool.h)
kelvar_layer_exception(gui/onair/unSoundFX.cpp audio/mix/Channel_imp.h)
kelvar_layer_exception(gui/onair/unSoundFX.cpp database/datalink/DLEngine.h)
kelvar_layer_exception(gui/onair/unSoundFX.cpp media/KelvarPlayer_imp.h)
kelvar_layer_exception(gui/onair/unSoundFX.h database/SQLPool.h)
kelvar_layer_exception(gui/voice/VoiceDevices.cpp audio/live/AMixer.h)
kelvar_layer_exception(gui/voice/VoiceDevices.cpp audio/live/Recorder_combo.h)
kelvar_layer_exception(gui/voice/VoiceDevices.cpp audio/outputs/DirectKS_API.h)
kelvar_layer_exception(gui/voice/VoiceDevices.cpp platform/alsa/AlsaPcm.h)
kelvar_layer_exception(gui/voice/funCfgMic.cpp audio/live/Recorder_combo.h)
kelvar_layer_exception(gui/voice/funCfgVoiceFX.cpp audio/live/Recorder_combo.h)
kelvar_layer_exception(gui/voice/funCfgVoiceFX.cpp audio/live/VoiceFX_imp.h)
kelvar_layer_exception(gui/voice/funVoiceFX.cpp audio/live/VoiceFX_imp.h)
kelvar_layer_exception(gui/voice/funVoiceFX.cpp audio/nodes/Node_DSPEffects.h)
kelvar_layer_exception(gui/voice/funVoiceFX.cpp audio/nodes/Node_VUMeter.h)
kelvar_sql_exception(gui/decks/funPlayer.cpp)
kelvar_sql_exception(gui/onair/unQueueList.cpp)
