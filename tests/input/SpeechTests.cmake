# Permissions run against a scripted adapter and calendar; speech against a substitute
# microphone, scripted recognisers, a loopback transcription server and real PocketSphinx on
# silence.
zorbel_test(permission_tests SOURCES PermissionCoordinatorTest.cpp DEPS zorbel_input)

zorbel_test(speech_tests
    SOURCES SpeechTest.cpp
    DEPS zorbel_input zorbel_chatserver)
