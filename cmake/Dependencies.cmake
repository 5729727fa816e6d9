# Debian's -dev packages for the native build. Found at the top so that every folder sees
# the imported targets.
option(QRNV_BUILD_TESTS "Build the test programs" ON)
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TINYXML2 REQUIRED IMPORTED_TARGET tinyxml2)
  pkg_check_modules(CPPHTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
  find_package(CURL REQUIRED)
  find_package(SQLite3 REQUIRED)
  find_package(OpenSSL REQUIRED)
  find_package(Threads REQUIRED)
  # The stand-in update service and its tests.
  pkg_check_modules(CPPHTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
  find_package(nlohmann_json 3 REQUIRED)
  if(QRNV_BUILD_TESTS)
    find_package(GTest REQUIRED)
  endif()
endif()
