# Permissions run against a scripted adapter and calendar; speech against a substitute
# microphone, scripted recognisers, a loopback transcription server, and the real speech module:
# PocketSphinx on silence.
zorbel_test(permission_tests SOURCES PermissionCoordinatorTest.cpp DEPS zorbel_input)

zorbel_test(speech_tests
    SOURCES SpeechTest.cpp
    DEPS zorbel_input zorbel_chatserver Qt6::Multimedia)
target_compile_definitions(speech_tests PRIVATE
    ZORBEL_SPEECH_MODULE_FILE="$<TARGET_FILE:zorbel_speech_module>")
