# Speech capture and permissions. The recording file format is its own small library so that
# the heavy parts (the microphone through Qt Multimedia, PocketSphinx), kept behind their own
# library and loaded by the programs as a module on their first recording, can read it.
zorbel_library(zorbel_audio
    SOURCES WavFile.cpp
    DEPS zorbel_support Qt6::Core)

find_package(PkgConfig REQUIRED)
pkg_check_modules(POCKETSPHINX REQUIRED pocketsphinx)
# Debian's pocketsphinx.pc names an include folder that does not exist: keep the ones that do.
set(ZORBEL_POCKETSPHINX_INCLUDES)
foreach(dir IN LISTS POCKETSPHINX_INCLUDE_DIRS)
    if(EXISTS ${dir})
        list(APPEND ZORBEL_POCKETSPHINX_INCLUDES ${dir})
    endif()
endforeach()
zorbel_library(zorbel_speech_engines
    SOURCES PocketSphinxRecognizer.cpp SpeechParts.cpp SpeechRecognizer.h SystemAudioInput.cpp
    DEPS zorbel_audio zorbel_support QCoro6::Core Qt6::Concurrent Qt6::Multimedia)
target_include_directories(zorbel_speech_engines SYSTEM PRIVATE ${ZORBEL_POCKETSPHINX_INCLUDES})
target_link_libraries(zorbel_speech_engines PRIVATE ${POCKETSPHINX_LIBRARIES})
zorbel_module(zorbel_speech_module speech
    SOURCES SpeechModuleEntry.cpp DEPS zorbel_speech_engines)

zorbel_library(zorbel_input
    SOURCES
        AudioInput.h PermissionAdapting.h
        PermissionCoordinator.cpp ResumeOnce.h SpeechModule.cpp SpeechService.cpp
        SystemPermissionAdapter.cpp TranscriptionEndpointRecognizer.cpp
    DEPS zorbel_audio zorbel_core zorbel_log zorbel_modules zorbel_support zorbel_http
         QCoro6::Core QCoro6::Network Qt6::Network)
# Every program that records through the module builds it too.
add_dependencies(zorbel_input zorbel_speech_module)
