# Read by CTest after the discovered cases: the cases that take more than a
# few seconds on the 2-core machine (label `slow`, left out of the quick
# preset) and the cases that check what the README and the guide say
# (`readme`), each with its binary's label (commas between labels).
set(ct_case_labels
  SinoIterCli.SheppLoganFromFewViewsAndALimitedRange cli,slow
  Demo.WritesEverythingAndGraftingRemovesTheTruncationError readme,slow
  AxReconCli.AFullDiskIsNeverSuccess cli,slow
  StackReconCli.PeakMemoryStaysWithinTheBudgetAnd64MiB cli,slow
  AtomicOutputs.AFailureLeavesTheOldFile cli,slow
  AtomicOutputs.ASuccessKeepsPermissionsAndLinks cli,slow
  Faults.SinogramsCutAtEveryByte cli,slow
  Faults.HostileNumbersInEveryNumericArgument cli,slow
  SinoReconCli.SinogramCutAtEveryByte cli,slow
  DiskSino.FastViewsEqualTheStraightforwardEvaluationBitForBit unit,slow
  GapWeights.TheDefaultIsWithinATenthOfTheBetterSchemeOnEveryCase unit,slow
  SinoRings.TheFamilyOfStripedCases unit,slow
  SinoNoiseCli.TheGuidesSimulatedScan cli,readme
  DocumentedGrafts.TheGuidesWorkedExample cli,readme
  SinoRingsCli.TheGuideRingFigures cli,readme
  SinoReconCli.ManySlicesWithGnuParallel cli,readme
)
list(LENGTH ct_case_labels length)
math(EXPR last "${length} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET ct_case_labels ${i} case)
  list(GET ct_case_labels ${j} labels)
  string(REPLACE "," ";" labels "${labels}")
  set_tests_properties(${case} PROPERTIES LABELS "${labels}")
endforeach()
