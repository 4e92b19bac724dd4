// The fixed texts of the main window: the controls as the window is created,
// the captions of each language, the tips blocks and the instructions text.
#include "app/form1_texts.h"

namespace vx::app {

namespace {
const std::string kPenHint = "Insira o Pen-Drive antes de executar o Varrex";
}

std::vector<Control> initialControls() {
    using K = ControlKind;
    auto make = [](std::string name, std::string parent, ControlKind kind, std::string caption,
                   std::string hint = "", Rgb font = colors::Black, bool handCursor = false) {
        Control c;
        c.name = std::move(name);
        c.parent = std::move(parent);
        c.kind = kind;
        c.caption = std::move(caption);
        c.hint = std::move(hint);
        c.font = font;
        c.handCursor = handCursor;
        return c;
    };
    const std::string contact = std::string("Nosso Site: ") + links::WebSiteShown + " - E-mail: " + links::Email;
    // Containers come before what they hold, so a view can create them in order.
    return {
        make("TForm1", "", K::Form, " Varrex"),
        make("PageControl1", "TForm1", K::PageControl, ""),
        make("TabSheet1", "PageControl1", K::TabSheet, " Remoção de Vírus "),
        make("GroupBox4", "TabSheet1", K::GroupBox, " Verifica a Existência de Vírus ", "", colors::Green),
        make("BitBtn3", "GroupBox4", K::Button, "&Instruções"),
        make("BitBtn7", "GroupBox4", K::Button, " Verificar &Computador\r Unidade: "),
        make("Label17", "GroupBox4", K::Label, "Escolha a Unidade do Dispositivo", kPenHint),
        make("DriveComboBox2", "GroupBox4", K::DriveComboBox, "", kPenHint),
        make("SpeedButton3", "GroupBox4", K::SpeedButton, "", "Detectar Unidades"),
        make("BitBtn9", "GroupBox4", K::Button, " Verificar &Dispositivo"),
        make("GroupBox5", "TabSheet1", K::GroupBox, " Remoção de Vírus ", "", colors::Green),
        make("BitBtn2", "GroupBox5", K::Button, " Desinfectar Com&putador\r Unidade: "),
        make("Label1", "GroupBox5", K::Label, "Escolha a Unidade do Dispositivo", kPenHint),
        make("DriveComboBox1", "GroupBox5", K::DriveComboBox, "", kPenHint),
        make("SpeedButton1", "GroupBox5", K::SpeedButton, "", "Detectar Unidades"),
        make("BitBtn1", "GroupBox5", K::Button, " Desin&fectar Dispositivo", kPenHint),
        make("Memo1", "TabSheet1", K::Memo, "", "", colors::Navy),
        make("TabSheet2", "PageControl1", K::TabSheet, " Ferramentas / Manutenção "),
        make("GroupBox6", "TabSheet2", K::GroupBox, " Processos em Execução "),
        make("ListBox1", "GroupBox6", K::ListBox, ""),
        make("BitBtn10", "GroupBox6", K::Button, "Listar Processos"),
        make("BitBtn11", "GroupBox6", K::Button, "Finalizar Processo"),
        make("GroupBox8", "TabSheet2", K::GroupBox, " Pastas Temporárias "),
        make("Label20", "GroupBox8", K::Label, "Temporária de Usuário", "Abrir esta Pasta.", colors::Black, true),
        make("Label22", "GroupBox8", K::Label, "Espaço ocupado:"),
        make("Label21", "GroupBox8", K::Label, "Temporária do Windows", "Abrir esta Pasta.", colors::Black, true),
        make("Label23", "GroupBox8", K::Label, "Espaço ocupado:"),
        make("Button4", "GroupBox8", K::Button, " Efetuar Limpeza das Pastas "),
        make("GroupBox10", "TabSheet2", K::GroupBox, " Repara Ícones "),
        make("BitBtn15", "GroupBox10", K::Button, " Reparar Ícones "),
        make("GroupBox13", "TabSheet2", K::GroupBox, " Sistema "),
        make("BitBtn17", "GroupBox13", K::Button, "  Gerar Relatório"),
        make("TabSheet3", "PageControl1", K::TabSheet, " Opções do Programa "),
        make("GroupBox7", "TabSheet3", K::GroupBox, " Caminho Deste Arquivo "),
        make("Label19", "GroupBox7", K::Label, "Caminho", "Clique para abri esta pasta!", colors::Maroon, true),
        make("BitBtn12", "TabSheet3", K::Button, " Copiar Programa para sua Área de Trabalho"),
        make("GroupBox11", "TabSheet3", K::GroupBox, " Parâmetros "),
        make("CheckBox1", "GroupBox11", K::CheckBox, "Exibir opção para salvar relatório ao final das verificações?"),
        make("CheckBox2", "GroupBox11", K::CheckBox, "Exibir opção para salvar relatório ao final das desinfecções?"),
        make("CheckBox3", "GroupBox11", K::CheckBox, " Verificar dispositivo ao ser inserido "),
        make("BitBtn16", "GroupBox11", K::Button, " Salvar Alterações"),
        make("TabSheet4", "PageControl1", K::TabSheet, " Quarentena "),
        make("ListBox2", "TabSheet4", K::ListBox, ""),
        make("ListBox3", "TabSheet4", K::ListBox, ""),
        make("Label24", "TabSheet4", K::Label, "Tamanho total: "),
        make("Button5", "TabSheet4", K::Button, " Restaurar Selecionados "),
        make("Button6", "TabSheet4", K::Button, " Restaurar Tudo "),
        make("Button7", "TabSheet4", K::Button, " Excluir Definitivamente "),
        make("Panel2", "TForm1", K::Panel, ""),
        make("GroupBox9", "Panel2", K::GroupBox, " Selecione o Idioma"),
        make("BitBtn13", "GroupBox9", K::Button, "Português"),
        make("BitBtn14", "GroupBox9", K::Button, "English"),
        make("Panel1", "Panel2", K::Panel, ""),
        make("Label2", "Panel1", K::Label, contact, "", colors::Black, true),
        make("Label4", "Panel1", K::Label, std::string("Página no Facebook: ") + links::SocialPage, "", colors::Black,
             true),
        make("StaticText1", "Panel1", K::StaticText, "Versão ", "", colors::Teal),
        make("Panel3", "TForm1", K::Panel, ""),
        make("Label18", "Panel3", K::Label,
         std::string("Clique aqui e curta nossa página no facebook: ") + links::SocialPageUrl, "", colors::Teal,
             true),
    };
}

const std::vector<LanguageCaption>& languageCaptions() {
    const std::string site = links::WebSiteShown;
    const std::string mail = links::Email;
    static const std::vector<LanguageCaption> table = {
        {"TForm1", " Varrex - Remove Vírus que Cria Atalhos e Outros",
         " Varrex - Remove Viruses and Other Shortcuts Creates"},
        {"TabSheet1", " Remoção de Vírus ", " Virus Removal "},
        {"TabSheet2", " Ferramentas / Manutenção ", " Tools / Maintenance "},
        {"TabSheet3", " Opções do Programa ", " Program Options "},
        {"GroupBox4", " Verifica a Existência de Vírus ", " Verifies the existence of Virus "},
        {"BitBtn3", "&Instruções", "&Instructions"},
        {"Label17", "Escolha a Unidade do Dispositivo", "Choose Device Unit"},
        {"BitBtn9", " Verificar &Dispositivo", " Check &Device"},
        {"GroupBox5", " Remoção de Vírus ", " Virus Removal "},
        {"Label1", "Escolha a Unidade do Dispositivo", "Choose Device Unit"},
        {"BitBtn1", " Desin&fectar Dispositivo", " Disin&fect Device"},
        {"Label2", "Nosso Site: " + site + " - E-mail: " + mail, "Website: " + site + " - E-mail: " + mail},
        {"Label4", std::string("Página no Facebook: ") + links::SocialPage,
         std::string("Facebook page: ") + links::SocialPage},
        {"StaticText1", std::string("Versão ") + scan::kProgramVersion, std::string("Version ") + scan::kProgramVersion},
        {"GroupBox9", " Selecione o Idioma ", " Select Language "},
        {"Label18", std::string("Clique aqui e curta nossa página no facebook: ") + links::SocialPageUrl,
         std::string("Click here and enjoy our facebook page: ") + links::SocialPageUrl},
        {"GroupBox6", " Processos em Execução / Nome - ID ", " Running Processes / Name - ID "},
        {"BitBtn10", "Listar Processos", "List Processes"},
        {"BitBtn11", "Finalizar Processo", "End Process"},
        {"GroupBox8", " Pastas Temporárias ", " Temporary Folders "},
        {"Label20", " Pastas Temporárias ", " Temporary Folders "},
        {"Label22", "Espaço ocupado:", "Occupied space:"},
        {"Label21", "Temporária do Windows", "Temporary Windows"},
        {"Label23", "Espaço ocupado:", "Occupied space:"},
        {"Button4", " Efetuar Limpeza das Pastas ", " Cleaning Make Folders "},
        {"GroupBox10", " Repara Ícones ", " Repairs Ícons "},
        {"BitBtn15", " Reparar Ícones", " Repairs Ícons"},
        {"GroupBox7", " Caminho Deste Arquivo ", " Way this Archive "},
        {"BitBtn12", " Copiar Programa para sua Área de Trabalho", " Copy Program to Your Desktop"},
        {"GroupBox13", " Sistema", " System"},
        {"BitBtn17", " Gerar Relatório", " Generate Report"},
        {"GroupBox11", " Parâmetros", " Parameters"},
        {"CheckBox1", "Exibir opção para salvar relatório ao final das verificações?",
         "Show option to save report at the end of scans?"},
        {"CheckBox2", "Exibir opção para salvar relatório ao final das desinfecções?",
         "Show option to save report at the end of disinfections?"},
        {"CheckBox3", " Verificar dispositivo ao ser inserido ", " Check device when inserted "},
        {"BitBtn16", "Salvar Alterações", "Save Editions"},
        {"TabSheet4", " Quarentena ", " Quarantine "},
        {"Label24", "Tamanho total: ", "Total size: "},
        {"Button5", " Restaurar Selecionados ", " Restore Selected "},
        {"Button6", " Restaurar Tudo ", " Restore All "},
        {"Button7", " Excluir Definitivamente ", " Delete for Good "},
    };
    return table;
}

const std::vector<std::string>& startupTips() {
    static const std::vector<std::string> lines = {
        ">>> Dicas:",
        "",
        "- Clique no botão \"Instruções\" para saber mais.",
        "- Quando for mencionado \"Dispositivo\" ou \"Mídia Externa\", estará se referindo a Pen-Drives, HDs "
        "Externos, Cartões de ",
        "Memória, entre outros.",
        "- Insira seu Dispositivo antes de executar o Varrex.",
        "- Esta ferramenta remove a maioria dos Vírus que criam atalhos e ocultam as pastas do seu Dispositivo.",
        "- Nomes de Vírus retirados: Trashes, dw.dll, Mugen, Hidden, Recycler, extensões CPL, VBS, VBE, JS, WSF, EXE, "
        "outros.",
        "- Desinfecta também o computador, que impede que infecte novamente seus dispositivos.",
        "",
        ">>> [Varrex - Versão 2.7.5] - Compatibilidade: Windows, XP, 7, 8, 10, 11 e Server - 32 ou 64 Bits",
    };
    return lines;
}

std::string tipsVersionLine(bool portuguese) {
    const bool plainBuild = std::string(scan::kBuildMark) == "0";
    std::string line = portuguese ? ">>> [Varrex - Versão: " : ">>> [Varrex - Version: ";
    line += std::string(scan::kProgramVersion) + " - ";
    if (!plainBuild) line += std::string(scan::kBuildMark) + " - ";
    line += scan::kVersionSuffix;
    if (plainBuild)
        line += portuguese ? "] - Compatibilidade: Windows XP, 7, 8, 10 e Server - 32 ou 64 Bits"
                           : "] - Compatibility: Windows XP, 7, 8, 10 and Server - 32 or 64 Bits";
    else
        line += portuguese ? "] - Compatibilidade: Windows XP, 7, 8 e 10 - 32 ou 64 Bits"
                           : "] - Compatibility: Windows XP, 7, 8 e 10 - 32 or 64 Bits";
    return line;
}

std::vector<std::string> languageTips(bool portuguese) {
    if (portuguese)
        return {
            ">>> Dicas:",
            "",
            "- Clique no botão \"Instruções\" para saber mais.",
            "- Quando for mencionado \"Dispositivo\" ou \"Mídia Externa\", estará se referindo a Pen-Drives, HDs "
            "Externos, Cartões deMemória, entre outros.",
            "- Insira seu Dispositivo antes de executar o Varrex.",
            "- Esta ferramenta remove a maioria dos Vírus que criam atalhos e ocultam as pastas do seu Dispositivo.",
            "- Nomes de Vírus retirados: Drive, Trashes, dw.dll, Mugen, Hidden, Recycler, extensões CPL, VBS, VBE, JS, "
            "EXE, outros.",
            "- Desinfecta também o computador, que impede que infecte novamente seus dispositivos.",
            "",
            tipsVersionLine(true),
        };
    return {
        ">>> Tips:",
        "",
        "- Click on \"Instructions\" button to learn more.",
        "- When you mentioned \"Device\" or \"External Media\", is referring to Pen-Drives, External Hard Drives, "
        "Memory Cards, among others.",
        "- Enter your device before running the Varrex.",
        "- This tool removes most viruses that create shortcuts and hidden folders in your device.",
        "- Names Virus removed: Drive, Trashes, dw.dll, Mugen, Hidden, Recycler, CPL extensions, VBS, VBE, JS, EXE, "
        "other.",
        "- Also disinfects the computer, which prevents it from infecting your devices again.",
        "",
        tipsVersionLine(false),
    };
}

const std::vector<std::string>& Tform_instrucoes::text() {
    static const std::vector<std::string> lines = {
        ">>> Instruções:",
        "",
        "- Quando for mencionado \"Dispositivo\" ou \"Mídia Externa\", estará se referindo a Pen-Drives, HDs "
        "Externos, Cartões de ",
        "Memória, entre outros.",
        "- Insira seu Dispositivo antes de executar o Varrex.",
        "- Esta ferramenta remove a maioria dos Vírus que criam atalhos e ocultam as pastas do seu Dispositivo.",
        "- Nomes comuns de Vírus retirados: Trashes, dw.dll, Mugen, Hidden, Recycler, extensões CPL, VBS, VBE, JS, "
        "WSF, EXE e ",
        "outros.",
        "- Desinfecta também o computador, que impede que infecte novamente seus dispositivos.",
        "- Os Anti-Vírus convencionais não conseguem remover estes tipos de vírus, pois foram feitos em Javascript e "
        "VBScript, ",
        "o que dificulta sua remoção. Portanto, para remoção segura é recomendado usar uma ferramenta específica.",
        "- Você pode plugar a sua Mídia Externa na máquina infectada, fazendo as duas remoções, ou colocar a Mídia "
        "infectada ",
        "numa máquina livre ou apenas remover o vírus de uma máquina infectada.",
        "- Sistemas Operacionais testados com sucesso: Windows XP, Windows 7, Windows 8, Windows 10 e Windows Server "
        "- ",
        "32 ou 64 Bits.",
        "",
        "O que a ferramenta Varrex faz:",
        "",
        ">>> No Computador:",
        "- Procurar os arquivos maliciosos nos locais que costuma infectar e os deleta;",
        "- Procura no registro do sistema as suas referências e as deleta e",
        "- Desfaz os bloqueios no computador causados pelo vírus. Ex: bloqueia do \"Gerenciador de Tarefas\", "
        "\"Propriedades do ",
        "Meu Computador\", entre outros.",
        "",
        ">>> No Dispositivo Externo:",
        "- Procura os arquivos maliciosos nas pastas do Dispositivo selecionado e os deleta;",
        "- Apaga os atalhos das pastas criados pelo vírus;",
        "- Torna suas pastas visíveis novamente;",
        "- Apaga o arquivo 'autorun.inf' do Dispositivo, se existir.",
        "- Apaga a pasta Recycler do Dispositivo, se existir.",
        "",
        ">>> [Varrex - Versão 2.7.5]",
    };
    return lines;
}

}  // namespace vx::app
