# Links a test, benchmark or extra wrapper target against the shared code target the way JUCE
# links its own plug-in wrappers: the shared code's private include directories are re-exported,
# so the module headers are visible without compiling the modules a second time.
function(tessaline_link_shared_code target)
    target_include_directories(${target} PRIVATE
        $<TARGET_PROPERTY:Tessaline,INCLUDE_DIRECTORIES>)
    target_link_libraries(${target} PRIVATE
        Tessaline
        juce::juce_recommended_config_flags
        juce::juce_recommended_warning_flags)
endfunction()
