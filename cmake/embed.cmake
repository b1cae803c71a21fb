# qm_embed_assets(TARGET HEADER_NAME FILE...)
#
# Embeds each FILE into TARGET as a byte array. For a file "assets/sid/tune01.sid" the generated
# header declares
#     extern const unsigned char tune01_sid[];
#     extern const unsigned long tune01_sid_size;
# (the file name with every character that is not a letter or digit turned into '_').
# The data is generated into the build folder at build time and never committed.
set(QM_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed_file.cmake)

function(qm_embed_assets target header)
  set(gen_dir ${CMAKE_CURRENT_BINARY_DIR}/embedded)
  set(decls "")
  set(sources "")
  foreach(file ${ARGN})
    get_filename_component(abs ${file} ABSOLUTE)
    get_filename_component(name ${file} NAME)
    string(MAKE_C_IDENTIFIER ${name} symbol)
    set(out ${gen_dir}/${symbol}.cpp)
    add_custom_command(
      OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${abs} -DOUTPUT=${out} -DSYMBOL=${symbol} -P ${QM_EMBED_SCRIPT}
      DEPENDS ${abs} ${QM_EMBED_SCRIPT}
      COMMENT "Embedding ${name}"
      VERBATIM)
    list(APPEND sources ${out})
    string(APPEND decls "extern const unsigned char ${symbol}[];\nextern const unsigned long ${symbol}_size;\n")
  endforeach()
  file(MAKE_DIRECTORY ${gen_dir})
  file(GENERATE OUTPUT ${gen_dir}/${header} CONTENT "#pragma once\n// Generated: embedded asset files.\n${decls}")
  target_sources(${target} PRIVATE ${sources})
  target_include_directories(${target} PUBLIC ${gen_dir})
endfunction()
