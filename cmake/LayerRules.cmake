# What each folder may include (kelvar_layer_rule, cmake/KelvarLayers.cmake). Every folder with
# sources needs an entry; a new folder fails the configuration until it has one.

# The engine, lowest first.
kelvar_layer_rule(foundation)
kelvar_layer_rule(platform/alsa foundation)
kelvar_layer_rule(platform/cdio foundation)
kelvar_layer_rule(platform/ffmpeg foundation)
kelvar_layer_rule(platform/dbus foundation)
kelvar_layer_rule(audio/dsp foundation)
kelvar_layer_rule(audio/graph foundation)
kelvar_layer_rule(audio/nodes foundation platform/ffmpeg audio/dsp audio/graph)
kelvar_layer_rule(audio/outputs foundation platform/alsa audio/graph)
kelvar_layer_rule(audio/mix foundation audio/graph audio/nodes audio/outputs)
kelvar_layer_rule(audio/live foundation platform/alsa audio/graph audio/nodes audio/outputs audio/mix)
kelvar_layer_rule(media/tags foundation)
kelvar_layer_rule(media foundation platform/cdio platform/ffmpeg audio/graph audio/nodes audio/mix audio/live media/tags)
kelvar_layer_rule(database/datalink foundation)
kelvar_layer_rule(database foundation database/datalink)

# The core: the song database layer, rotation, plug-ins, web, and the core object with its door.
kelvar_layer_rule(core/plugins foundation audio/nodes)
kelvar_layer_rule(core/playlist foundation database database/datalink media media/tags)
kelvar_layer_rule(core/rotation foundation database media core/plugins core/playlist)
kelvar_layer_rule(core/web foundation media core/plugins core/rotation)
kelvar_layer_rule(core foundation platform/alsa platform/dbus audio/dsp audio/nodes audio/outputs audio/mix audio/live media
                  media/tags database core/plugins core/playlist core/rotation core/web)

kelvar_layer_rule(controls foundation)
kelvar_layer_rule(controls/tools foundation controls)

# The windows reach the automation through the core's door (core/KelvarApi.h), the access
# classes that act on the handles the door hands out, a few plain core headers, and the song
# database layer's operations (core/playlist); the core object (core/Kelvar.h) and the core data
# module are out of their reach. Of the engine's folders they see only the plain records and
# values the core hands out.
set(KELVAR_GUI_CORE_HEADERS
    core/KelvarApi.h                # the door
    core/AudioSettingsAccess.h      # access classes: the engine objects behind the door's handles
    core/CaptureDevices.h
    core/ChannelMix.h
    core/DSPPluginAccess.h
    core/FadeCurves.h
    core/PlayerAccess.h
    core/PreviewDeck.h
    core/ProcessorAccess.h
    core/VoiceAccess.h
    core/AlsaDeviceList.h           # the playback devices the output settings offer
    core/AutoRecovery.h             # the recovery the door hands to the countdown window
    core/BPMDetect.h                # the tempo worker of the BPM dialog
    core/CoreCommon.h               # the core's configuration document and heartbeat
    core/HeartBeat.h                # the timer class of the windows' own heartbeat
    core/MessageAPI.h               # the remote-control message's codes and handlers
    core/ProcessPriority.h          # the priority classes the audio pages offer
)
set(KELVAR_GUI_VALUE_HEADERS
    database/Dataset.h              # an open result of song rows, as the song database layer hands it out
    database/datalink/DLDataTypes.h # the values of its fields
    media/SongInfo.h                # the song record
    media/SongInfo_imp.h
    media/SongSettings.h            # a song's cue, fade and gain settings
    media/tags/MetaDataConfig_imp.h # the metadata settings (picture folder, lookup settings)
    audio/mix/DualOutputSettings.h  # the output pair's device settings
    audio/dsp/AGCParams.h           # the broadcast processor's parameter block and meters
)
set(KELVAR_GUI_BASE foundation controls ${KELVAR_GUI_CORE_HEADERS} core/playlist gui/engine ${KELVAR_GUI_VALUE_HEADERS})

kelvar_layer_rule(gui/engine ${KELVAR_GUI_BASE})
kelvar_layer_rule(gui/plugins ${KELVAR_GUI_BASE} core/plugins)
kelvar_layer_rule(gui/lists ${KELVAR_GUI_BASE} gui/plugins)
kelvar_layer_rule(gui/decks ${KELVAR_GUI_BASE} gui/plugins)
kelvar_layer_rule(gui/editors ${KELVAR_GUI_BASE} gui/plugins gui/decks)
kelvar_layer_rule(gui/audioconfig ${KELVAR_GUI_BASE} gui/plugins gui/decks gui/editors)
kelvar_layer_rule(gui/config ${KELVAR_GUI_BASE} core/plugins gui/plugins gui/lists gui/editors gui/audioconfig)
kelvar_layer_rule(gui/library ${KELVAR_GUI_BASE} gui/lists)
kelvar_layer_rule(gui/onair ${KELVAR_GUI_BASE} gui/lists gui/editors gui/audioconfig gui/library)
kelvar_layer_rule(gui/songinfo ${KELVAR_GUI_BASE} core/web gui/plugins gui/lists gui/editors)
kelvar_layer_rule(gui/voice ${KELVAR_GUI_BASE} gui/plugins gui/decks gui/editors gui/audioconfig)
kelvar_layer_rule(gui/tools ${KELVAR_GUI_BASE} gui/lists)
# The player program and its main window; its main file makes the core data module.
kelvar_layer_rule(gui ${KELVAR_GUI_BASE} core/unKelvar.h gui/*)

# The setup program, the encoder library, tools, tests and benchmarks.
kelvar_layer_rule(setup foundation database database/datalink)
kelvar_layer_rule(setup/wizard foundation controls setup)
kelvar_layer_rule(setup/main foundation setup setup/wizard)
kelvar_layer_rule(encoder)
kelvar_layer_rule(tools foundation media media/tags tests/common)
kelvar_layer_rule(tools/demo foundation media)
kelvar_layer_rule(tests/* *)
kelvar_layer_rule(bench/* *)

include(${CMAKE_CURRENT_LIST_DIR}/LayerExceptions.cmake)
