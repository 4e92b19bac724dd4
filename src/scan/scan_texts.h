// The lines of the routines the checks and disinfections share: the worm
// mask checks, the removals, the start-up entries and the folder deletion.
#pragma once

#include "scan/texts.h"

namespace vx::scan::texts {

// The worm mask checks; Portuguese in both languages.
namespace check_routines {

inline constexpr const char* FileFound = "[VX] > Item <Infecções 10> encontrado!";
inline constexpr const char* FileNotFound = "[VX] - Item <Infecções 10> não encontrado!";
inline constexpr const char* UserValueFound = "[VX] > Item <Infecções 10.1> encontrado!";
inline constexpr const char* UserValueNotFound = "[VX] - Item <Infecções 10.1> não encontrado!";
inline constexpr const char* MachineValueFound = "[VX] > Item <Infecções 10.2> encontrado!";
inline constexpr const char* MachineValueNotFound = "[VX] - Item <Infecções 10.2> não encontrado!";
inline constexpr const char* A1Found = "[VX] > Vírus tipo A1 encontrado!";
// The mask, as "*.exe".
inline constexpr const char* MaskFound = "[VX] > Vírus tipo <{}> encontrado!";
inline constexpr const char* MaskNotFound = "[VX] - Vírus tipo <{}> não encontrado!";

}  // namespace check_routines

namespace worm_removal {

// The shortcut worm's program, after its removal.
inline constexpr const char* ProgramNotDeleted = "[VX] > Arquivo {} não pode ser deletado!";
inline constexpr const char* ProgramDeleted = "[VX] > Arquivo {} deletado com sucesso!";
inline constexpr Text NothingFoundIn{"[VX] - Nenhum Código/Vírus Encontrado em {}", "[VX] - No Code/Virus Found in {}"};
// A process by its tag ("[vx001]"). Some English lines end in a blank.
inline constexpr Text ProcessFinished{"[VX] > Processo {} finalizado!", "[VX] > Process {} finished!"};
inline constexpr Text ProcessNotRunning{"[VX] - Processo {} não está em execução neste computador!",
                                        "[VX] - Process {} is not running on this computer!"};
inline constexpr Text ProcessNotRunningBlank{"[VX] - Processo {} não está em execução neste computador!",
                                             "[VX] - Process {} is not running on this computer! "};
inline constexpr Text FileNotDeleted{"[VX] > Não foi possível Excluir o Arquivo {}", "[VX] > Could not delete file {}"};
inline constexpr Text FileDeleted{"[VX] > Arquivo {} Deletado com Sucesso!", "[VX] > File {} Successfully Deleted!"};
// A start-up value, by the file's name less its extension.
inline constexpr Text ValueNotFound{"[VX] - Chave de Registro {} não Encontrada!", "[VX] - Registry key {} not Found!"};
inline constexpr Text ValueDeleted{"[VX] > Chave de Registro {} Deletada!", "[VX] > Registry key {} Deleted!"};
inline constexpr Text MachineValueDeleted{"[VX] - Chave de Registro {} Deletada!", "[VX] - Registry key {} Deleted!"};
inline constexpr Text NothingFound{"[VX] - Nenhum Código/Vírus Encontrado!", "[VX] - No Code/Virus Found!"};
inline constexpr Text RunningFileEnded{"[VX] > Processo {} finalizado com sucesso!",
                                       "[VX] > Process {} finished successfully!"};
inline constexpr Text CompanionFileNotDeleted{"[VX] - Não foi possível Excluír o Arquivo {}",
                                              "[VX] - Could not delete file {}"};

}  // namespace worm_removal

namespace startup_entries {

// Both roots write the same "- CurrentUser" ending.
inline constexpr Text ValueDeleted{"[VX] > Chave de Registro {} Deletada com Sucesso! - CurrentUser",
                                   "[VX] > Registry key {} Successfully Deleted! - CurrentUser"};
inline constexpr Text ProcessEnded{"[VX] > Processo {} Encontrado e Finalizado!",
                                   "[VX] > Process {} Found and Finished!"};
inline constexpr const char* FileNotDeleted = "[VX] > Arquivo {} não pôde ser Deletado!";
inline constexpr const char* FileDeleted = "[VX] > Arquivo {} Deletado!";
inline constexpr Text ProcessFinished{"[VX] > Processo {} finalizado!", "[VX] > Process {} finished!"};
inline constexpr Text ProcessNotRunning{"[VX] - Processo {} não está em execução neste computador!",
                                        "[VX] - Process {} is not running on this computer!"};
inline constexpr Text RunValueNotDeleted{"[VX] > Chave de Registro não pode ser Deletada!",
                                         "[VX] > Registry key can not be deleted!"};
inline constexpr Text RunValueDeleted{"[VX] > Chave de Registro Deletada com Sucesso!",
                                      "[VX] > Registry key deleted successfully!"};
inline constexpr Text NothingRemoved{"[VX] - Nenhum Código/Vírus Encontrado!", "[VX] - No Code/Virus Found!"};
inline constexpr Text VirusFound{"[VX] > Vírus Encontrado!", "[VX] > Virus Found!"};
// The check's English line has no "!".
inline constexpr Text NothingFound{"[VX] - Nenhum Código/Vírus Encontrado!", "[VX] - No Code/Virus Found"};

}  // namespace startup_entries

// The folder deletion.
namespace primitives {

inline constexpr Text FolderNotFound{"[VX] - Pasta {} não Encontrada!", "[VX] - Folder {} not Found!"};
inline constexpr Text ProcessFinished{"[VX] > Processo {} finalizado!", "[VX] > Finalized {} process!"};

}  // namespace primitives

}  // namespace vx::scan::texts
