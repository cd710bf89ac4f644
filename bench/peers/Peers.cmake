# The peer programs built with Free Pascal: passrc_peer reads Pascal units with fcl-passrc,
# for the explorer's oracle test and benchmark. Without fpc (or its fcl-passrc units) nothing
# is built, and the tests and benchmarks that use a peer say so and skip it.
find_program(KRX_FPC fpc)
file(GLOB KRX_PASSRC_UNITS /usr/lib/*/fpc/*/units/*/fcl-passrc/pparser.ppu
     /usr/lib/fpc/*/units/*/fcl-passrc/pparser.ppu)
set(KRX_PASSRC_PEER ${CMAKE_BINARY_DIR}/peers/passrc_peer)
if(KRX_FPC AND KRX_PASSRC_UNITS)
  add_custom_command(
    OUTPUT ${KRX_PASSRC_PEER}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/peers/units
    COMMAND ${KRX_FPC} -O2 -v0 -FU${CMAKE_BINARY_DIR}/peers/units -o${KRX_PASSRC_PEER}
            ${CMAKE_SOURCE_DIR}/bench/peers/passrc_peer.pas
    DEPENDS ${CMAKE_SOURCE_DIR}/bench/peers/passrc_peer.pas
    COMMENT "Building the fcl-passrc peer with fpc"
    VERBATIM)
  add_custom_target(passrc_peer ALL DEPENDS ${KRX_PASSRC_PEER})
else()
  message(STATUS "fpc or its fcl-passrc units not found: the fcl-passrc peer is not built")
endif()
