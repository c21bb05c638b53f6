zorbel_library(zorbel_input
    SOURCES
        PermissionAdapting.h PermissionCoordinator.cpp ResumeOnce.h SystemPermissionAdapter.cpp
    DEPS zorbel_capture zorbel_log zorbel_support QCoro6::Core)
