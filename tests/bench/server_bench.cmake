# Load client for the security server: starts zyr-security-server on a large
# seeded database and prints latencies and rates. Run by hand:
#   build/bin/server_bench [--size A,G,O,R,M,L[,T]] [--seconds S] [--connections C] [--sync full|normal]
#                          [--mixed W]  (reads alone, then beside W writers)
#                          [--pg "host=... port=... user=..."] [--servers N]
# With --pg the servers share a fresh PostgreSQL database made in that cluster
# (scripts/pg-cluster starts one); the connections are spread over N servers.
add_executable(server_bench ${CMAKE_SOURCE_DIR}/tests/bench/server/ServerBench.cpp)
target_link_libraries(server_bench PRIVATE zyr_server zyr_test_support Threads::Threads)
zyr_apply_options(server_bench)
add_dependencies(server_bench zyr-security-server)
