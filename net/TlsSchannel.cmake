# The TLS session on Schannel for the Windows build, as a library of its own
# until the transport builds on Windows: the session, its certificate check
# and the program's failure texts.
add_library(quorvel_tls_schannel STATIC
  ${CMAKE_CURRENT_LIST_DIR}/TlsSessionSchannel_win32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TlsCertificateCheck_win32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TlsFailureText.cpp
)
target_include_directories(quorvel_tls_schannel PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(quorvel_tls_schannel PUBLIC quorvel_core secur32 crypt32 ws2_32)
