# easylogging++ ships as a header and one source file; it is built once here
# with the flags every user of the header must share.
add_library(zembra_easylogging STATIC ${CMAKE_SOURCE_DIR}/cmake/easylogging.cpp)
target_compile_definitions(zembra_easylogging PUBLIC
  ELPP_THREAD_SAFE
  ELPP_NO_DEFAULT_LOG_FILE
  ELPP_DISABLE_DEFAULT_CRASH_HANDLING)
target_link_libraries(zembra_easylogging PUBLIC Threads::Threads)
