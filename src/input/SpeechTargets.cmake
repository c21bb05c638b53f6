# Speech capture and permissions. The recording file format is its own small library so that
# the PocketSphinx backend (a heavy C dependency, kept behind its own library) can read it.
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
zorbel_library(zorbel_pocketsphinx
    SOURCES PocketSphinxRecognizer.cpp SpeechRecognizer.h
    DEPS zorbel_audio zorbel_support QCoro6::Core Qt6::Concurrent)
target_include_directories(zorbel_pocketsphinx SYSTEM PRIVATE ${ZORBEL_POCKETSPHINX_INCLUDES})
target_link_libraries(zorbel_pocketsphinx PRIVATE ${POCKETSPHINX_LIBRARIES})

zorbel_library(zorbel_input
    SOURCES
        AudioInput.h PermissionAdapting.h
        PermissionCoordinator.cpp ResumeOnce.h SpeechService.cpp SystemAudioInput.cpp
        SystemPermissionAdapter.cpp TranscriptionEndpointRecognizer.cpp
    DEPS zorbel_audio zorbel_pocketsphinx zorbel_core zorbel_log zorbel_support zorbel_http
         QCoro6::Core QCoro6::Network Qt6::Network Qt6::Multimedia)
